// An application of its own, built against the installed package only.
#include <ZorCompCore/core/StreamHelper.h>
#include <ZorCompCore/package/Package.h>
#include <ZorCompCore/platform/Stream.h>
#include <ZorCompCore/platform/Variant.h>

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString text = QStringLiteral("Grüße aus der Anwendung");
    zor::TMemoryStream stream;
    zor::TStreamHelper helper(&stream);
    helper.WriteVariant(zor::Variant(text));
    stream.SetPosition(0);
    const QString back = zor::VarToStr(helper.ReadVariant());
    QTextStream(stdout) << "ZorCompCore " << zor::LibraryVersion() << ", " << zor::ModuleCount()
                        << " modules, " << stream.Size() << " bytes: " << back << '\n';
    return back == text ? 0 : 1;
}
