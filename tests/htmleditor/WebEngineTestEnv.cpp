// Set before the test main creates the application: the X server xvfb-run
// started, Chromium without its sandbox (tests run as root in CI) and drawing
// in software (a virtual X server has no GPU; grab() is white otherwise).
#include <QCoreApplication>

namespace {

const bool environment = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-gpu-compositing");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

} // namespace
