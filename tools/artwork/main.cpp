// velmor-artwork OUTDIR [--preview FILE]: draws every picture the editor
// loads and writes them into OUTDIR as PNG strips (8-bit RGBA, straight
// alpha, frames stacked top to bottom), each also at twice the resolution
// for high-density screens ("Name@2x.png"). The output depends on nothing
// but this program and its typeface: the same bytes on every run.
#include <cstdio>
#include <cstring>
#include <string>

#include "canvas.h"
#include "pictures.h"
#include "preview.h"
#include "raster/png_encode.h"

#ifndef VELMOR_ARTWORK_FONT
#error "VELMOR_ARTWORK_FONT must name the typeface file"
#endif

namespace {

int Usage() {
    std::fprintf(stderr, "usage: velmor-artwork OUTDIR [--preview FILE]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* outDir = nullptr;
    const char* preview = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preview") == 0 && i + 1 < argc) {
            preview = argv[++i];
        } else if (argv[i][0] != '-' && !outDir) {
            outDir = argv[i];
        } else {
            return Usage();
        }
    }
    if (!outDir) return Usage();
    if (!art::LoadTypeface(VELMOR_ARTWORK_FONT)) {
        std::fprintf(stderr, "velmor-artwork: cannot load the typeface %s\n", VELMOR_ARTWORK_FONT);
        return 1;
    }

    int failures = 0;
    for (const art::StripSpec& strip : art::AllStrips()) {
        for (int scale : {1, 2}) {
            const std::string name = scale == 1 ? strip.fileName : art::DoubleScaleName(strip.fileName);
            const std::string path = std::string(outDir) + "/" + name;
            const auto bitmap = art::RenderStrip(strip, scale);
            if (!bitmap || !WritePngFile(*bitmap, path.c_str())) {
                std::fprintf(stderr, "velmor-artwork: cannot write %s\n", path.c_str());
                ++failures;
            }
        }
    }
    if (preview && !art::WritePreview(preview)) {
        std::fprintf(stderr, "velmor-artwork: cannot write %s\n", preview);
        ++failures;
    }
    art::ReleaseTypeface();
    return failures == 0 ? 0 : 1;
}
