// libjpeg's error handling for the JPEG encoder and decoder of this folder:
// an error jumps back to the caller instead of ending the process, and no
// message is printed.
//
//   JpegError err;
//   cinfo.err = quietJpegErrors(err);
//   if (setjmp(err.jump)) { jpeg_destroy_...(&cinfo); return false; }
#pragma once

#include <stdio.h>  // jpeglib.h needs FILE first
#include <jpeglib.h>

#include <csetjmp>

namespace ui {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

inline void jpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

inline void jpegSilence(j_common_ptr) {}

// Sets up err and answers the manager to put in the codec's `err`.
inline jpeg_error_mgr* quietJpegErrors(JpegError& err) {
    jpeg_error_mgr* mgr = jpeg_std_error(&err.mgr);
    mgr->error_exit = jpegErrorExit;
    mgr->output_message = jpegSilence;
    return mgr;
}

}  // namespace ui
