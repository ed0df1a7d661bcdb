#include "window/frmopensave.h"

#include "window/drives.h"
#include "window/filelists.h"
#include "window/form1.h"
#include "window/messages.h"
#include "window/preview.h"
#include "window/qtdesign.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace kov {

namespace {
const QString OpenMode = QStringLiteral("Data File Open");
const QString StartPattern = QStringLiteral("*.prn");
} // namespace

QString joinFolderAndName(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

std::function<void(frmOpenSave &)> &frmOpenSave::shownHook()
{
    static std::function<void(frmOpenSave &)> hook;
    return hook;
}

frmOpenSave::frmOpenSave(Form1 &form) : QDialog(&form), m_form(form)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    createControls();
    Form_Load();
}

frmOpenSave::~frmOpenSave() = default;

void frmOpenSave::createControls()
{
    setObjectName(QStringLiteral("frmOpenSave"));
    setWindowTitle(QStringLiteral("File"));
    setWindowIcon(m_form.windowIcon());
    setFixedSize(design::pixels(design::ChooserWidth), design::pixels(design::ChooserHeight));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, design::qColor(design::ChooserBackground));
    setPalette(pal);
    setFont(design::qFont(design::font::Ui));

    design::createControls(this, design::ChooserControls, [this](const design::Control &c) -> QWidget * {
        switch (c.kind) {
        case design::Kind::TextBox: return new QLineEdit(design::qString(c.caption), this);
        case design::Kind::FileList: {
            auto *list = new FileList(this);
            list->setPattern(design::qString(c.caption));
            return list;
        }
        case design::Kind::DriveList: return new DriveList(this);
        case design::Kind::FolderList: return new FolderList(this);
        default: return nullptr;
        }
    });
    design::bindControls(this,
                         KOV_CONTROLS(lblOpenSave, txtOpenSave, filOpenSave, drvOpenSave, dirOpenSave, cmdOpenSave));
    cmdOpenSave[0]->setDefault(true);
    cmdOpenSave[0]->setEnabled(false);
    cmdOpenSave[1]->setAutoDefault(false);
    design::setTabOrder(this, design::ChooserTabOrder);

    connect(dirOpenSave, &FolderList::pathChanged, this, &frmOpenSave::dirOpenSave_Change);
    connect(drvOpenSave, &DriveList::changed, this, &frmOpenSave::drvOpenSave_Change);
    connect(filOpenSave, &FileList::pathChanged, this, &frmOpenSave::filOpenSave_PathChange);
    connect(filOpenSave, &FileList::patternChanged, this, &frmOpenSave::filOpenSave_PatternChange);
    connect(filOpenSave, &FileList::clicked, this, &frmOpenSave::filOpenSave_Click);
    connect(filOpenSave, &FileList::doubleClicked, this, &frmOpenSave::filOpenSave_DblClick);
    connect(txtOpenSave, &QLineEdit::textChanged, this, &frmOpenSave::txtOpenSave_Change);
    connect(dirOpenSave, &FolderList::readFailed, this, &frmOpenSave::readFailed);
    connect(filOpenSave, &FileList::readFailed, this, &frmOpenSave::readFailed);
    connect(cmdOpenSave[0], &QPushButton::clicked, this, [this] { cmdOpenSave_Click(0); });
    connect(cmdOpenSave[1], &QPushButton::clicked, this, [this] { cmdOpenSave_Click(1); });
}

void frmOpenSave::Form_Load()
{
    design::centreOnScreen(this);
    const QString folder = drives::currentFolder();
    drvOpenSave->restoreDrive(drives::driveOf(folder));
    if (!dirOpenSave->setPath(folder))
        dirOpenSave->setPath(QStringLiteral("/"));
    lblOpenSave[2]->setText(dirOpenSave->path());
}

void frmOpenSave::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    filOpenSave->setFocus();
    if (shownHook())
        QTimer::singleShot(0, this, [this] {
            if (shownHook())
                shownHook()(*this);
        });
}

void frmOpenSave::dirOpenSave_Change()
{
    const QString path = dirOpenSave->path();
    filOpenSave->setPath(path);
    lblOpenSave[2]->setText(path);
    drives::setCurrentFolderOfDrive(path);
    // The process's current folder follows, so the next opening starts here.
    QDir::setCurrent(path);
}

void frmOpenSave::drvOpenSave_Change()
{
    const QString before = dirOpenSave->path();
    if (!dirOpenSave->setDrive(drvOpenSave->drive())) {
        drvOpenSave->restoreDrive(drives::driveOf(before));
        return;
    }
    QDir::setCurrent(dirOpenSave->path());
}

void frmOpenSave::filOpenSave_PathChange()
{
    // Taken before the drive list moves: a new drive sends the folder list,
    // and through it the file list, to that drive's remembered folder first.
    const QString target = filOpenSave->path();
    txtOpenSave->setText(filOpenSave->pattern());
    drvOpenSave->setDrive(target);
    dirOpenSave->setPath(target);
}

void frmOpenSave::filOpenSave_PatternChange()
{
    const QString target = filOpenSave->path();
    if (target.isEmpty())
        return;
    drvOpenSave->setDrive(target);
    dirOpenSave->setPath(target);
}

void frmOpenSave::filOpenSave_Click()
{
    txtOpenSave->setText(filOpenSave->fileName());
}

void frmOpenSave::filOpenSave_DblClick()
{
    if (filOpenSave->fileName().isEmpty())
        return;
    const QString full = joinFolderAndName(filOpenSave->path(), filOpenSave->fileName());
    m_form.state().DataFileName = full.toStdString();
    if (windowTitle() == OpenMode)
        MODULE11::PreviewDataFile(m_form, m_form.state().DataFileName);
    accept();
}

void frmOpenSave::txtOpenSave_Change()
{
    if (txtOpenSave->text() != StartPattern)
        cmdOpenSave[0]->setEnabled(true);
}

void frmOpenSave::readFailed(const QString &folder, const QString &reason)
{
    showMessage(this, QStringLiteral("The folder %1 cannot be read: %2").arg(folder, reason),
                MessageIcon::Exclamation);
}

void frmOpenSave::cmdOpenSave_Click(int index)
{
    if (index == 1) {
        reject();
        return;
    }
    const QString text = txtOpenSave->text();
    const FileList::Applied applied = filOpenSave->applyName(text);
    if (applied != FileList::Applied::Failed || !isVisible())
        return;
    // Not taken: is there an ordinary file of that name in the current folder?
    const QString path = QDir(drives::currentFolder()).absoluteFilePath(text);
    struct stat st {};
    const QByteArray name = path.toLocal8Bit();
    if (::stat(name.constData(), &st) == 0) {
        if (S_ISREG(st.st_mode) && !QFileInfo(path).fileName().startsWith(QLatin1Char('.')))
            return;
    } else if (errno != ENOENT && errno != ENOTDIR) {
        showMessage(this, QString::fromLocal8Bit(std::strerror(errno)), MessageIcon::Exclamation);
        return;
    }
    if (windowTitle() == OpenMode)
        showMessage(this, QString::fromUtf8("ファイルが存在しません。"), MessageIcon::Exclamation);
    else
        reject();
}

} // namespace kov
