#include "window/preview.h"

#include "window/form1.h"
#include "window/messages.h"

#include <QLineEdit>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace kov::MODULE11 {

namespace {
/// At most this much of one line is kept for the preview box.
constexpr std::size_t MaxPreviewLine = 65536;
} // namespace

void PreviewDataFile(Form1 &form, const std::string &path)
{
    struct stat st {};
    std::FILE *file = nullptr;
    errno = 0; // a folder or device is refused below without an errno of its own
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        file = std::fopen(path.c_str(), "rb");
    if (!file) {
        const int e = errno;
        showMessage(&form,
                    QStringLiteral("The file %1 cannot be read: %2")
                        .arg(QString::fromStdString(path),
                             QString::fromLocal8Bit(e ? std::strerror(e) : "not an ordinary file")),
                    MessageIcon::Exclamation);
        return;
    }
    int n = 0;
    int c = std::fgetc(file);
    if (c == EOF && !std::ferror(file)) {
        showMessage(&form, QStringLiteral("The file %1 is empty.").arg(QString::fromStdString(path)),
                    MessageIcon::Exclamation);
    }
    while (c != EOF && n < 6) {
        std::string line;
        while (c != EOF && c != '\n' && c != '\r') {
            if (line.size() < MaxPreviewLine)
                line.push_back(static_cast<char>(c));
            c = std::fgetc(file);
        }
        if (c == '\r') {
            c = std::fgetc(file);
            if (c == '\n')
                c = std::fgetc(file);
        } else if (c == '\n') {
            c = std::fgetc(file);
        }
        form.setFieldText(Field::Preview, QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())),
                          static_cast<std::size_t>(n));
        ++n;
    }
    // A read that broke off is not the end of the file: say so, keeping the
    // lines already shown.
    if (std::ferror(file)) {
        const int e = errno;
        showMessage(&form,
                    QStringLiteral("The file %1 could not be read to the end: %2")
                        .arg(QString::fromStdString(path), QString::fromLocal8Bit(std::strerror(e))),
                    MessageIcon::Exclamation);
    }
    std::fclose(file);
}

} // namespace kov::MODULE11
