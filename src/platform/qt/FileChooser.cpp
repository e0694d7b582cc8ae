#include "platform/qt/FileChooser.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "platform/Exceptions.h"
#include "platform/OsPath.h"
#include "platform/qt/DialogBuilder.h"
#include "platform/qt/QtText.h"
#include "resources/Strings.h"

namespace qthost {

namespace {

// The label keeps the classic "*.*", but on this file system that pattern would hide every
// name without a dot, and in a save dialog choosing the filter would give the name the
// pattern's suffix ("Pomvex.txt" would become "Pomvex.*"): Qt renames only for a pattern with
// a suffix. So the dialog's filter is "*", which has none, and only its entry in the list of
// types reads as the label. Set before the initial name, which setting a filter may rewrite.
void MatchEveryName(QFileDialog& dlg) {
    const QString label = ToQ(Str(Sid::FileFilterAll));
    QString filter = label;
    filter.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
    dlg.setNameFilter(filter);
    // The list of types is the combo box that offers the filter (the other one lists folders).
    for (QComboBox* types : dlg.findChildren<QComboBox*>()) {
        const int row = types->findText(filter);
        if (row >= 0) types->setItemText(row, label);
    }
}

}  // namespace

bool ChooseFile(QWidget* parent, bool open, const std::string& initialPath, std::string& chosenPath,
                const std::function<int(QDialog&)>& runModal) {
    QFileDialog dlg(parent);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setFont(DialogFont());
    dlg.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    MatchEveryName(dlg);

    QFileInfo initial(initialPath.empty() ? QString()
                                          : QFile::decodeName(QByteArray::fromStdString(
                                                ospath::ToSystem(initialPath))));
    if (!initialPath.empty()) {
        if (initial.isDir()) {
            dlg.setDirectory(initial.absoluteFilePath());
        } else {
            dlg.setDirectory(initial.absolutePath());
            dlg.selectFile(initial.fileName());
        }
    }
    if (runModal(dlg) != QDialog::Accepted) return false;
    QStringList files = dlg.selectedFiles();
    if (files.isEmpty()) return false;
    QByteArray system = QFile::encodeName(files.first());
    auto chosen = ospath::FromSystem(system.toStdString());
    if (!chosen)
        throw CTextException(
            FormatStr(Sid::ChosenNameNotShowable, {ospath::Displayable(system.toStdString())}));
    chosenPath = std::move(*chosen);
    return true;
}

}  // namespace qthost
