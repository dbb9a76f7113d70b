#include "AppOptions.h"

#include "Installation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QUrl>

namespace AppOptions {

bool isValidBaseUrl(const QString& url) {
    const QUrl parsed(url, QUrl::StrictMode);
    return parsed.isValid() && (parsed.scheme() == u"http" || parsed.scheme() == u"https") &&
           !parsed.host().isEmpty() && url.endsWith(u'/') && !parsed.hasQuery() &&
           !parsed.hasFragment();
}

Parsed parse(const QStringList& arguments, const Defaults& defaults) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kibu播放器: 儿童动画节目播放器"));
    const QCommandLineOption appDir(
        QStringLiteral("app-dir"),
        QStringLiteral("Application folder (default: the executable's folder)."),
        QStringLiteral("DIR"));
    const QCommandLineOption downloadBase(
        QStringLiteral("download-base"),
        QStringLiteral("Download server base URL, ending with \"/\" (default: %1).")
            .arg(defaults.downloadBase),
        QStringLiteral("URL"));
    const QCommandLineOption webBase(
        QStringLiteral("web-base"),
        QStringLiteral("Web site base URL, ending with \"/\" (default: %1).").arg(defaults.webBase),
        QStringLiteral("URL"));
    const QCommandLineOption minuteMs(
        QStringLiteral("minute-ms"),
        QStringLiteral("For trying out the parents' settings: how many milliseconds a minute of "
                       "play and rest lasts (default 60000)."),
        QStringLiteral("MS"));
    const QCommandLineOption gate(
        QStringLiteral("parents-question"),
        QStringLiteral("For trying out the parents' settings: always ask A+B (or A*B) instead of "
                       "a random question."),
        QStringLiteral("A+B"));
    const QCommandLineOption fullResolution(
        QStringLiteral("full-resolution"),
        QStringLiteral("For comparing drawing costs: always draw programs at full resolution, "
                       "even when frames are missed."));
    parser.addOptions({appDir, downloadBase, webBase, minuteMs, gate, fullResolution});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    Parsed result;
    if (!parser.parse(arguments)) {
        result.text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.action = Parsed::Action::ShowText;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Parsed::Action::ShowText;
        result.text = QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                    QCoreApplication::applicationVersion());
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.text =
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }

    const Installation::Choice where = Installation::choose(
        parser.isSet(appDir) ? parser.value(appDir) : QString(), defaults.appDir,
        defaults.userAppDir.isEmpty() ? defaults.appDir : defaults.userAppDir);
    const QString folder = where.appDir;
    result.installed = where.installed;
    // An installed program's folder is made on the first start.
    if (!where.installed && !QDir(folder).exists()) {
        result.text = QStringLiteral("Application folder not found: %1").arg(folder);
        return result;
    }
    const QString download =
        parser.isSet(downloadBase) ? parser.value(downloadBase) : defaults.downloadBase;
    const QString web = parser.isSet(webBase) ? parser.value(webBase) : defaults.webBase;
    for (const auto& [name, value] : {std::pair{QStringLiteral("--download-base"), download},
                                      std::pair{QStringLiteral("--web-base"), web}}) {
        if (!isValidBaseUrl(value)) {
            result.text =
                QStringLiteral("%1: \"%2\" is not an http or https address ending with \"/\"")
                    .arg(name, value);
            return result;
        }
    }
    if (parser.isSet(minuteMs)) {
        bool ok = false;
        result.settings.minuteMs = parser.value(minuteMs).toLongLong(&ok);
        if (!ok || result.settings.minuteMs < 1) {
            result.text = QStringLiteral("--minute-ms: a positive number of milliseconds");
            return result;
        }
    }
    if (parser.isSet(gate)) {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^(\\d{1,3})([+*])(\\d{1,3})$"))
                .match(parser.value(gate));
        if (!m.hasMatch()) {
            result.text = QStringLiteral("--parents-question: A+B or A*B");
            return result;
        }
        ParentsGate fixed;
        fixed.a = m.captured(1).toInt();
        fixed.product = m.captured(2) == QLatin1String("*");
        fixed.b = m.captured(3).toInt();
        result.settings.fixedGate = fixed;
    }
    result.fullResolution = parser.isSet(fullResolution);
    result.action = Parsed::Action::Run;
    result.settings.app = AppFolder(QDir(folder).absolutePath());
    result.settings.downloadBase = download;
    result.settings.webBase = web;
    return result;
}

} // namespace AppOptions
