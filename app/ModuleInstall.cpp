#include "app/ModuleInstall.h"

#include "base/CodePage.h"
#include "base/Exception.h"
#include "oracle/script/OracleScript.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorvel {

QString ReadModuleText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception("Cannot open file \"" + path.toLocal8Bit().toStdString() + "\". " +
                        file.errorString().toLocal8Bit().toStdString());
    const QByteArray bytes = file.readAll();
    const std::u16string text = DecodeText(std::string_view(bytes.constData(), size_t(bytes.size())), AnsiCodePage());
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

std::string ToLibraryText(const QString& text) {
    return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())));
}

QString FromLibraryText(const std::string& text) {
    const std::u16string wide = AnsiToUtf16(text);
    return QString::fromUtf16(wide.data(), qsizetype(wide.size()));
}

TModuleInstallResult InstallModule(TOracleScript& script, const QString& path) {
    const QString text = ReadModuleText(path);
    if (!script.Session()) throw Exception("The script has no session to install the module on");
    script.Lines().SetText(ToLibraryText(text));
    script.Output().Clear();

    TModuleInstallResult result;
    result.Succeeded = script.Execute();
    result.LogLines << QString() << QStringLiteral("Установка программного модуля")
                    << QStringLiteral("из файла \"") + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) + '"'
                    << QStringLiteral("...");
    for (int i = 0; i < script.Output().Count(); ++i) result.LogLines << FromLibraryText(script.Output()[i]);
    return result;
}

} // namespace quorvel
