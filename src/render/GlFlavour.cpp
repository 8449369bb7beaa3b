#include "GlFlavour.h"

namespace {

// highp throughout: the HDR colours and the particle ages need more than mediump's 10 bits.
constexpr const char* esHeader =
    "#version 300 es\n"
    "precision highp float;\n"
    "precision highp int;\n"
    "precision highp sampler2D;\n";

} // namespace

std::string glslForGl(const std::string& source, bool es)
{
    if (!es || source.compare(0, 8, "#version") != 0)
        return source;
    // Line numbers in compile logs stay those of the file: the header takes the place of
    // the version line and adds lines only through "#line".
    const std::size_t lineEnd = source.find('\n');
    const std::string rest = lineEnd == std::string::npos ? std::string() : source.substr(lineEnd + 1);
    return std::string(esHeader) + "#line 2\n" + rest;
}
