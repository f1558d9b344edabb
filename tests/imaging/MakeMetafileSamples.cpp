// Writes the metafile samples of examples/data/images: shapes.emf drawn
// through libEMF (as the EMF tests draw), plan.wmf assembled record by record
// (no library writes WMF).
//
//   imaging_make_samples DIR            writes DIR/shapes.emf and DIR/plan.wmf
//   imaging_make_samples --check DIR    exit 1 unless DIR holds exactly those bytes
//
// Regenerate after changing a drawing:
//   cmake --build build/default --target imaging_make_samples
//   build/default/tests/imaging/imaging_make_samples examples/data/images
#include "EmfMaker.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

namespace {

// Little-endian words for the hand-made WMF.
struct Le
{
    std::string b;
    Le &u16(uint16_t v)
    {
        b += char(v & 0xFF);
        b += char(v >> 8);
        return *this;
    }
    Le &i16(int16_t v) { return u16(uint16_t(v)); }
    Le &u32(uint32_t v) { return u16(uint16_t(v & 0xFFFF)).u16(uint16_t(v >> 16)); }
};

// One record: its size in 16-bit words, the function, the parameters.
std::string Record(uint16_t function, std::initializer_list<uint16_t> params)
{
    Le r;
    r.u32(uint32_t(3 + params.size())).u16(function);
    for (uint16_t p : params)
        r.u16(p);
    return r.b;
}

uint16_t Lo(uint32_t v) { return uint16_t(v & 0xFFFF); }
uint16_t Hi(uint32_t v) { return uint16_t(v >> 16); }

// A floor plan: a green room with a thick black outline and a red round table
// beside it, 400 x 200 logical units at 200 units per inch (192 x 96 pixels).
std::string PlanWmf()
{
    const uint32_t black = 0x000000, green = 0x0030A030, red = 0x002020D0; // COLORREF: 0x00BBGGRR
    std::string records;
    records += Record(0x02FA, {0, 6, 0, Lo(black), Hi(black)}); // CreatePenIndirect: solid, 6 wide
    records += Record(0x012D, {0});                             // SelectObject
    records += Record(0x02FC, {0, Lo(green), Hi(green), 0});    // CreateBrushIndirect: solid
    records += Record(0x012D, {1});
    records += Record(0x041B, {190, 190, 10, 10});              // Rectangle: bottom, right, top, left
    records += Record(0x02FC, {0, Lo(red), Hi(red), 0});
    records += Record(0x012D, {2});
    records += Record(0x0418, {180, 390, 20, 210});             // Ellipse: bottom, right, top, left
    records += Record(0x0000, {});                              // end of file

    Le placeable;
    placeable.u32(0x9AC6CDD7).u16(0).i16(0).i16(0).i16(400).i16(200).u16(200).u32(0);
    uint16_t sum = 0;
    for (size_t i = 0; i < placeable.b.size(); i += 2)
        sum ^= uint16_t(uint8_t(placeable.b[i]) | uint8_t(placeable.b[i + 1]) << 8);
    placeable.u16(sum);

    // Header: type (disk), header words, version, file words, objects (one pen,
    // two brushes), largest record in words (the pen's), unused.
    Le header;
    header.u16(1).u16(9).u16(0x0300).u32(uint32_t((18 + records.size()) / 2)).u16(3).u32(8).u16(0);
    return placeable.b + header.b + records;
}

struct Sample
{
    const char *name;
    std::string bytes;
};

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("\x01missing");
}

} // namespace

int main(int argc, char **argv)
{
    const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: %s [--check] DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[argc - 1];
    const Sample samples[] = {{"shapes.emf", emfmaker::Shapes()}, {"plan.wmf", PlanWmf()}};
    int status = 0;
    for (const Sample &s : samples) {
        const std::string path = dir + '/' + s.name;
        if (s.bytes.empty()) {
            std::fprintf(stderr, "%s: nothing drawn\n", s.name);
            return 1;
        }
        if (check) {
            if (ReadFile(path) != s.bytes) {
                std::fprintf(stderr, "%s differs from what the generator writes\n", path.c_str());
                status = 1;
            }
            continue;
        }
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(s.bytes.data(), std::streamsize(s.bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s: %zu bytes\n", path.c_str(), s.bytes.size());
    }
    return status;
}
