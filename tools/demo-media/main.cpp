// quarry-demo-media OUTDIR: writes the files of the demo medium below OUTDIR
// and prints their paths, one a line.
#include "demo_media_set.h"

#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 2 || args[1].startsWith(QLatin1Char('-'))) {
        err << "usage: quarry-demo-media OUTDIR\n";
        return 2;
    }
    QString error;
    const QStringList written = quarry::demo::DemoMediaSet(args[1]).write(error);
    if (written.isEmpty()) {
        err << "quarry-demo-media: " << error << '\n';
        return 1;
    }
    QTextStream out(stdout);
    for (const auto& path : written) {
        out << path << '\n';
    }
    return 0;
}
