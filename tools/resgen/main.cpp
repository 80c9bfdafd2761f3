// quarry-resgen: makes the generated files of the resource folder.
//   quarry-resgen help SOURCE.html OUT.pdf
//   quarry-resgen placeholder SIZE OUT.png
//   quarry-resgen icon SOURCE.svg SIZE OUT.png
#include "help_renderer.h"
#include "icon_rasterizer.h"
#include "placeholder_painter.h"

#include <QGuiApplication>
#include <QImage>
#include <QStringList>
#include <QTextStream>

namespace {

int fail(const QString& message) {
    QTextStream(stderr) << "quarry-resgen: " << message << '\n';
    return 1;
}

int sizeArgument(const QString& text) {
    bool ok = false;
    const int size = text.toInt(&ok);
    return ok && size >= 16 && size <= 1024 ? size : 0;
}

int savePng(const QImage& image, const QString& path) {
    if (image.isNull()) {
        return fail(QStringLiteral("nothing drawn for %1").arg(path));
    }
    if (!image.save(path, "PNG")) {
        return fail(QStringLiteral("cannot write %1").arg(path));
    }
    return 0;
}

int usage() {
    return fail(QStringLiteral("usage: quarry-resgen help SOURCE.html OUT.pdf | placeholder SIZE OUT.png | "
                               "icon SOURCE.svg SIZE OUT.png"));
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString command = args.value(0);

    if (command == QLatin1String("help") && args.size() == 3) {
        const QString error = quarry::resgen::HelpRenderer().render(args[1], args[2]);
        return error.isEmpty() ? 0 : fail(error);
    }
    if (command == QLatin1String("placeholder") && args.size() == 3) {
        const int size = sizeArgument(args[1]);
        if (size == 0) {
            return usage();
        }
        return savePng(quarry::resgen::PlaceholderPainter().paint(size), args[2]);
    }
    if (command == QLatin1String("icon") && args.size() == 4) {
        const int size = sizeArgument(args[2]);
        if (size == 0) {
            return usage();
        }
        return savePng(quarry::resgen::IconRasterizer().rasterize(args[1], size), args[3]);
    }
    return usage();
}
