#include "chooser/frmopensave.h"

#include "app/form1.h"
#include "app/messages.h"
#include "chooser/filelists.h"
#include "chooser/preview.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace kov {

namespace {
const QString OpenMode = QStringLiteral("Data File Open");
const QString StartPattern = QStringLiteral("*.prn");

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QFont chooserFont(double points)
{
    QFont f(QStringLiteral("MS PGothic"));
    f.setPointSizeF(points);
    return f;
}
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
    setFixedSize(5760 / 15, 3810 / 15);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);
    setFont(chooserFont(9.75));

    const struct {
        const char *text;
        QRect rect;
    } labels[4] = {{"File Name:", twips(120, 120, 1455, 315)},
                   {"Folder:", twips(2280, 720, 1455, 315)},
                   {"", twips(2280, 480, 3375, 315)},
                   {"Drive:", twips(2280, 120, 1455, 255)}};
    for (int i = 0; i < 4; ++i) {
        auto *l = new QLabel(QString::fromUtf8(labels[i].text), this);
        l->setObjectName(QStringLiteral("lblOpenSave(%1)").arg(i));
        l->setGeometry(labels[i].rect);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        lblOpenSave[static_cast<std::size_t>(i)] = l;
    }
    lblOpenSave[2]->setFont(chooserFont(9.0));

    txtOpenSave = new QLineEdit(StartPattern, this);
    txtOpenSave->setObjectName(QStringLiteral("txtOpenSave"));
    txtOpenSave->setGeometry(twips(120, 360, 2055, 315));
    filOpenSave = new FileList(this);
    filOpenSave->setObjectName(QStringLiteral("filOpenSave"));
    filOpenSave->setGeometry(twips(120, 720, 2055, 2820));
    filOpenSave->setPattern(StartPattern);
    drvOpenSave = new DriveList(this);
    drvOpenSave->setObjectName(QStringLiteral("drvOpenSave"));
    drvOpenSave->setGeometry(twips(2280, 360, 3375, 315));
    dirOpenSave = new FolderList(this);
    dirOpenSave->setObjectName(QStringLiteral("dirOpenSave"));
    dirOpenSave->setGeometry(twips(2280, 960, 3375, 2280));
    // The labels were created first, so they lie behind the lists: the path
    // label shows only where the drive list does not cover it, and every
    // click on the drive list reaches the list.

    cmdOpenSave[0] = new QPushButton(QStringLiteral("OK"), this);
    cmdOpenSave[0]->setObjectName(QStringLiteral("cmdOpenSave(0)"));
    cmdOpenSave[0]->setGeometry(twips(2640, 3360, 1095, 375));
    cmdOpenSave[0]->setDefault(true);
    cmdOpenSave[0]->setEnabled(false);
    cmdOpenSave[1] = new QPushButton(QStringLiteral("Cancel"), this);
    cmdOpenSave[1]->setObjectName(QStringLiteral("cmdOpenSave(1)"));
    cmdOpenSave[1]->setGeometry(twips(4200, 3360, 1095, 375));
    cmdOpenSave[1]->setAutoDefault(false);

    setTabOrder(filOpenSave, dirOpenSave);
    setTabOrder(dirOpenSave, txtOpenSave);
    setTabOrder(txtOpenSave, drvOpenSave);
    setTabOrder(drvOpenSave, cmdOpenSave[0]);
    setTabOrder(cmdOpenSave[0], cmdOpenSave[1]);

    connect(dirOpenSave, &FolderList::changed, this, &frmOpenSave::dirOpenSave_Change);
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
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + area.width() / 2 - frameGeometry().width() / 2,
             area.y() + area.height() / 2 - frameGeometry().height() / 2);
    }
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
