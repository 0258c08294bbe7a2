#include "photo_input.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>


#include "file_messages.h"
#include "jpeg_input.h"
#include "png_input.h"

std::string photoFormat(const HeaderBytes& bytes) {
    if (std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0) return "PNG";
    if (std::memcmp(bytes.data(), "\xFF\xD8\xFF", 3) == 0) return "JPEG";
    return "";
}

static std::string decodeInto(BinaryFile& file, const std::string& format, BinaryFile& decoded) {
    try {
        return format == "PNG" ? decodePng(file.handle, decoded) : decodeJpeg(file.handle, decoded);
    } catch (const std::bad_alloc&) {
        return "not enough memory to decode infile";
    }
}

std::string decodePhoto(BinaryFile& file, const std::string& fileName, HeaderBytes& bytes) {
#ifndef _WIN32
    // A file-size limit makes a write fail with EFBIG, reported as any other
    // write error, instead of ending the program by its signal.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    BinaryFile decoded;
    if (!openUnnamedTemporary(decoded))
        return "cannot make a temporary file for the decoded picture: " + decoded.errorText();
    decoded.name = fileName;
    // The decoders read the input with their own calls, from its start.
    std::rewind(file.handle);
    std::string problem = decodeInto(file, photoFormat(bytes), decoded);
    if (problem.empty() && std::ferror(file.handle)) {
        file.error = errno != 0 ? errno : EIO;
        problem = inputErrorProblem(file, fileName);
    }
    if (problem.empty()) problem = inputReadProblem(file, fileName);
    if (problem.empty() && std::fflush(decoded.handle) != 0 && decoded.error == 0)
        decoded.error = errno;
    if (problem.empty() && decoded.error != 0)
        problem = "cannot write the decoded picture to a temporary file: " + decoded.errorText();
    if (!problem.empty()) return problem;
    readWrittenInstead(file, decoded);
    file.get(1, bytes.data(), bytes.size());
    return "";
}
