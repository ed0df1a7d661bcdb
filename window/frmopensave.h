#pragma once

#include <QDialog>

#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kov {

class DriveList;
class FileList;
class FolderList;
class Form1;

/// The modal file chooser. Its window title is its mode: "Data File Open"
/// (choose a test record, preview its first lines) or "Data File Save".
/// Created for each opening and destroyed when it closes; it keeps no state
/// of its own, but the process's current folder follows its folder list, so
/// the next opening starts where the user left.
class frmOpenSave : public QDialog {
    Q_OBJECT

public:
    /// Creates the dialog and runs its load steps (centring, the lists at
    /// the process's current folder).
    explicit frmOpenSave(Form1 &form);
    ~frmOpenSave() override;

    /// Called with the dialog right after it is shown, for tests that drive it.
    static std::function<void(frmOpenSave &)> &shownHook();

    std::array<QLabel *, 4> lblOpenSave{};
    QLineEdit *txtOpenSave = nullptr;
    FileList *filOpenSave = nullptr;
    DriveList *drvOpenSave = nullptr;
    FolderList *dirOpenSave = nullptr;
    std::array<QPushButton *, 2> cmdOpenSave{}; ///< (0) OK, (1) Cancel

    /// The OK sequence.
    void cmdOpenSave_Click(int index);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void dirOpenSave_Change();
    void drvOpenSave_Change();
    void filOpenSave_PathChange();
    void filOpenSave_PatternChange();
    void filOpenSave_Click();
    void filOpenSave_DblClick();
    void txtOpenSave_Change();
    void readFailed(const QString &folder, const QString &reason);

    Form1 &m_form;
    bool m_shownOnce = false;
};

/// Joins a folder and a file name with one separator ("/" + name at the root).
QString joinFolderAndName(const QString &folder, const QString &name);

} // namespace kov
