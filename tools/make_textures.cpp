// tq-make-textures OUTDIR: writes the panel's bitmaps and the About box's logo
// into OUTDIR, which must exist.
#include <cstdio>
#include <string>

#include "tools/TextureArt.h"

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-')
    {
        std::fprintf(stderr, "usage: tq-make-textures OUTDIR\n"
                             "Writes the panel textures and the About box logo (24-bit BMP) into OUTDIR.\n");
        return 2;
    }
    std::string dir = argv[1];
    if (dir.back() != '/' && dir.back() != '\\')
        dir += '/';
    for (const TextureFile& file : MakeAllTextures())
    {
        std::string error;
        if (!WriteBmpFile(dir + file.name, file.image, &error))
        {
            std::fprintf(stderr, "tq-make-textures: %s (does the folder exist and is it writable?)\n",
                         error.c_str());
            return 2;
        }
    }
    return 0;
}
