// Finds a TrueType face that can stand in for Arial on this system; the HUD font wherever
// fontconfig knows the fonts (Windows has a fixed one, see PlatformWindows.cpp).
#include "platform/FontLocator.h"
#include "platform/Platform.h"

#include <fontconfig/fontconfig.h>

#include <sys/stat.h>

#include <iterator>
#include <string>

namespace {

// Families drawn with Arial's metrics, so HUD lines keep the widths they were laid out for.
constexpr const char* metricCompatibleFamilies[] = {"Liberation Sans", "Arimo"};

bool isRegularFile(const std::string& path)
{
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isTrueTypeOrOpenType(FcPattern* font)
{
    FcChar8* format = nullptr;
    if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch || !format)
        return false;
    const std::string name(reinterpret_cast<const char*>(format));
    return name == "TrueType" || name == "CFF";
}

// The file of the best match for `query`, when it is a scalable face that exists; else "".
std::string matchFile(FcConfig* config, const char* query)
{
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(query));
    if (!pattern)
        return "";
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(config, pattern, &result);
    std::string path;
    if (font && result == FcResultMatch && isTrueTypeOrOpenType(font)) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch && file) {
            path = reinterpret_cast<const char*>(file);
            if (!isRegularFile(path))
                path.clear();
        }
    }
    if (font)
        FcPatternDestroy(font);
    FcPatternDestroy(pattern);
    return path;
}

bool familyMatches(FcConfig* config, const std::string& path, const char* family)
{
    FcPattern* query = FcPatternCreate();
    FcPatternAddString(query, FC_FILE, reinterpret_cast<const FcChar8*>(path.c_str()));
    FcObjectSet* wanted = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(config, query, wanted);
    bool found = false;
    for (int i = 0; fonts && i < fonts->nfont && !found; ++i) {
        FcChar8* name = nullptr;
        for (int n = 0; !found && FcPatternGetString(fonts->fonts[i], FC_FAMILY, n, &name) ==
                                      FcResultMatch;
             ++n)
            found = FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0;
    }
    if (fonts)
        FcFontSetDestroy(fonts);
    FcObjectSetDestroy(wanted);
    FcPatternDestroy(query);
    return found;
}

} // namespace

std::string findArialCompatibleFont()
{
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config)
        return "";
    // Arial itself where installed, or whatever fontconfig's aliases map it to.
    std::string path = matchFile(config, "Arial");
    bool metricCompatible = false;
    if (!path.empty()) {
        metricCompatible = familyMatches(config, path, "Arial");
        for (const char* family : metricCompatibleFamilies)
            metricCompatible = metricCompatible || familyMatches(config, path, family);
    }
    // An arbitrary sans substitute is a last resort behind any metric-compatible family.
    for (std::size_t i = 0; !metricCompatible && i < std::size(metricCompatibleFamilies); ++i) {
        const std::string candidate = matchFile(config, metricCompatibleFamilies[i]);
        if (!candidate.empty() && familyMatches(config, candidate, metricCompatibleFamilies[i])) {
            path = candidate;
            metricCompatible = true;
        }
    }
    FcConfigDestroy(config);
    // Any other face would draw the HUD at widths it was not laid out for.
    return metricCompatible ? path : "";
}

std::string platform::hudFontPath()
{
    return findArialCompatibleFont();
}
