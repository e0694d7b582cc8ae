// Moving the URL list between the list box and a plain text file: CP932, the program's own
// encoding, or UTF-8 as Linux editors write it.
#include <string>
#include <string_view>

#include "lists/ListEditor.h"
#include "lists/ListText.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Lines.h"
#include "platform/OsPath.h"
#include "platform/Paths.h"
#include "platform/ReplaceFile.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "resources/Text.h"

namespace {

// The dialogs start at the list file in the program folder. A folder whose name has no CP932
// form cannot be handed over as text: the user is told, and the dialog starts where it likes.
std::string DialogStart(Host& host) {
    try {
        return paths::InProgramFolder(Str(Sid::ListFileName));
    } catch (const CTextException& e) {
        host.MessageBox(e.GetErrorMessage(), MB_ICONEXCLAMATION);
        return {};
    }
}

}  // namespace

void ListEditor::Open() {
    std::string path;
    if (!m_host.FileDialog(true, DialogStart(m_host), path)) return;

    // The exclusive lock keeps us from reading a list another copy is still writing; a held
    // lock fails the open like any other reason, with the one message the user knows.
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareExclusive)) {
        m_host.MessageBox(Str(Sid::FileCreateFailed), MB_OK);
        return;
    }

    // Built aside and committed only at the end: a read error in the middle propagates to the
    // error wrapper, and a line with no CP932 form stops the load; either leaves m_strList and
    // the list box exactly as they were.
    const std::string bytes = ReadAllBytes(file);
    file.Close();

    std::string error;
    std::optional<std::string> list = ListFromBytes(bytes, &error);
    if (!list) {
        m_host.MessageBox(error, MB_ICONEXCLAMATION);
        return;
    }
    m_strList = std::move(*list);
    m_host.SetDlgItemText(IDC_LIST, m_strList);
}

void ListEditor::Save() {
    // A character with no CP932 form must never reach the file as a substitute. Stop before the
    // dialog, so no file is created; m_strList keeps its previous value, since there is no
    // faithful byte form of the list box text to give it.
    std::string text;
    try {
        text = m_host.GetDlgItemText(IDC_LIST);
    } catch (const CTextException& e) {
        m_host.MessageBox(e.GetErrorMessage(), MB_ICONEXCLAMATION);
        return;
    }
    m_strList = std::move(text);  // before the dialog: a cancel still leaves it set

    std::string path;
    if (!m_host.FileDialog(false, DialogStart(m_host), path)) return;

    // Written aside and renamed over the old list only when complete: a full disk or a crash
    // leaves the old list whole. A failure while writing reaches the error wrapper, once.
    if (!ReplaceFileContents(path, m_strList)) m_host.MessageBox(Str(Sid::FileCreateFailed), MB_OK);
}
