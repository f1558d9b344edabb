// A misbehaving stand-in for zor-preview-worker, for the host's tests. The
// mode comes from $ZOR_FAKE_WORKER_MODE; the "open" modes misbehave on the
// first request, the "render" modes answer Open with one Letter page and
// misbehave on the first Render.
#include <ZorCompCore/imaging/widgets/PreviewFrames_p.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace zor::detail;

namespace {

bool ReadFrame(QByteArray &payload)
{
    char header[kPreviewFrameHeader];
    if (fread(header, 1, sizeof header, stdin) != sizeof header)
        return false;
    payload.resize(ReadU32(header));
    return fread(payload.data(), 1, size_t(payload.size()), stdin) == size_t(payload.size());
}

void Send(const QByteArray &bytes)
{
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    fflush(stdout);
}

void Misbehave(const std::string &how, quint32 expected)
{
    if (how == "crash") {
        // Killed by the signal, as a real crash is, whatever handler a
        // sanitizer installed (it would report and exit instead).
        signal(SIGSEGV, SIG_DFL);
        raise(SIGSEGV);
    }
    if (how == "hang")
        for (;;)
            pause();
    if (how == "oversize") {
        // A header announcing one byte more than the answer asked for.
        QByteArray header;
        AppendU32(header, expected + 1);
        header.append(char(expected > 1000 ? TPreviewFrameType::Image : TPreviewFrameType::PageSizes));
        Send(header);
        for (;;)
            pause();
    }
    if (how == "exit")
        std::exit(3);
}

} // namespace

int main()
{
    const char *env = std::getenv("ZOR_FAKE_WORKER_MODE");
    const std::string mode = env ? env : "";
    const auto dash = mode.find('-');
    const std::string how = mode.substr(0, dash), when = dash == std::string::npos ? "" : mode.substr(dash + 1);
    QByteArray request;
    if (!ReadFrame(request))
        return 0;
    if (when == "open")
        Misbehave(how, 4 + kPreviewMaxPages * 16);
    QByteArray pages;
    AppendU32(pages, 1);
    AppendF64(pages, 612);
    AppendF64(pages, 792);
    Send(MakePreviewFrame(TPreviewFrameType::PageSizes, pages));
    if (!ReadFrame(request) || request.size() != 12)
        return 1;
    const quint32 w = ReadU32(request.constData() + 4), h = ReadU32(request.constData() + 8);
    Misbehave(how, 12 + w * h * 4);
    return 0;
}
