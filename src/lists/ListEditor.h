// The list box's text as a file and as a generated range: リストを開く, リストを保存 and 連番編集.
// Works on the list box through the host; keeps the work copy each of them last made.
#pragma once

#include <string>

#include "platform/Host.h"

class ListEditor {
  public:
    // REQUIRES: host outlives this object.
    explicit ListEditor(Host& host) : m_host(host) {}

    // A list file (CP932, or UTF-8 as Linux editors write it) into the list box. A file that
    // cannot be read, or a line CP932 lacks, leaves the list box and the work copy as they were.
    void Open();
    // The list box's text into a file the user chooses, in CP932, replacing it whole.
    void Save();
    // One numbered line per value of the range the numbered-list dialog gives.
    void Serial();

    // The work copy of the list box text that the last operation made.
    const std::string& List() const { return m_strList; }

  private:
    Host& m_host;           // not owned
    std::string m_strList;  // work copy of the list box text
};
