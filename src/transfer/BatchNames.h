// Which name a download saves under. URLs of one list often end in the same name
// (http://a/x/data.bin and http://b/y/data.bin, .../files/1/download and .../files/2/download);
// within one batch a later one must not replace what an earlier one saved, so it takes the next
// numbered name in the style of the desktop's browsers. A new batch starts afresh, so running
// the same list again finds every job's file under the same name as the first run; and a job that
// goes again in a later round of its batch finds its own file, not a numbered one.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// `name` (CP932 text) cut so that its UTF-8 form, the bytes a Linux file system counts, has at
// most maxBytes bytes: at a character boundary, off the end of the part before its extension
// (NumberedName's) while that extension is short (16 bytes or less), else off the end of the
// name. A name that fits, or is not CP932 (its open fails as a bad path), is left as it is.
std::string FitName(const std::string& name, size_t maxBytes);

// The target path: folder text + name, with one '/' between unless the folder already ends in
// one (an empty folder text leaves the name as it is). The name is cut (FitName) to the longest
// name the folder takes (NameMaxOfFolder): a long Japanese name is saved rather than refused.
std::string JoinSavePath(const std::string& folder, const std::string& name);

// The n-th name of `name` (CP932 text): " (n)" before the extension, or at the end when there is
// none. "data.bin" -> "data (2).bin", "download" -> "download (3)", ".profile" -> ".profile (2)",
// "a.tar.gz" -> "a (2).tar.gz". BatchTargets cuts a long name first, so that the number always
// survives. REQUIRES: n >= 2.
std::string NumberedName(const std::string& name, int n);

// The targets the downloads of one batch have written.
class BatchTargets {
  public:
    // The name job `slot` of batch `serial` saves `name` under in `folder`: `name` itself when no
    // other job of that batch wrote JoinSavePath(folder, name), else the first NumberedName
    // (from 2 on) that no other job of it wrote. What the job itself wrote (in an earlier round)
    // is its own. An empty name (the target is the folder) is kept as it is, and so is every name
    // while no list has been loaded (serial 0). Slot 0 names no job: nothing written is its own.
    std::string NameFor(uint32_t serial, const std::string& folder, const std::string& name,
                        int slot = 0) const;

    // Job `slot` of batch `serial` has written `target`. A newer serial forgets the earlier
    // batch; a job of a batch that a newer one has overtaken counts for none.
    void Written(uint32_t serial, const std::string& target, int slot = 0);

  private:
    // Whether `target` is free for job `slot`: unwritten, or written by that job itself.
    bool FreeFor(const std::string& target, int slot) const;

    uint32_t m_serial = 0;                 // the batch m_written belongs to
    std::map<std::string, int> m_written;  // JoinSavePath results, as written -> the job's slot
};
