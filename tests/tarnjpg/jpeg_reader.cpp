#include "jpeg_reader.h"

#include <csetjmp>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace jpegread {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
  e->base.format_message(cinfo, e->message);
  longjmp(e->jump, 1);
}

void onMessage(j_common_ptr, int) {}

template <class Result, class Body>
Result withDecoder(const uint8_t* data, size_t size, Body body) {
  Result result;
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = onError;
  err.base.emit_message = onMessage;
  if (setjmp(err.jump)) {
    result.ok = false;
    result.error = err.message;
    jpeg_destroy_decompress(&cinfo);
    return result;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  body(cinfo, result);
  result.warnings = int(err.base.num_warnings);
  result.ok = true;
  jpeg_destroy_decompress(&cinfo);
  return result;
}

}  // namespace

Image decode(const uint8_t* data, size_t size) {
  return withDecoder<Image>(data, size, [](jpeg_decompress_struct& cinfo, Image& img) {
    cinfo.out_color_space = cinfo.jpeg_color_space;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    img.width = int(cinfo.output_width), img.height = int(cinfo.output_height);
    img.components = cinfo.output_components;
    img.pixels.resize(size_t(img.width) * img.height * img.components);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = &img.pixels[size_t(cinfo.output_scanline) * img.width * img.components];
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
  });
}

Coefficients readCoefficients(const uint8_t* data, size_t size) {
  return withDecoder<Coefficients>(data, size, [](jpeg_decompress_struct& cinfo, Coefficients& out) {
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&cinfo);
    out.width = int(cinfo.image_width), out.height = int(cinfo.image_height);
    for (int c = 0; c < cinfo.num_components; ++c) {
      const jpeg_component_info& info = cinfo.comp_info[c];
      Component comp;
      comp.h = info.h_samp_factor, comp.v = info.v_samp_factor;
      comp.blocksWide = int(info.width_in_blocks), comp.blocksHigh = int(info.height_in_blocks);
      for (int i = 0; i < 64; ++i) comp.quant.push_back(info.quant_table->quantval[i]);
      for (int by = 0; by < comp.blocksHigh; ++by) {
        JBLOCKARRAY rows = cinfo.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&cinfo), arrays[c],
                                                         JDIMENSION(by), 1, FALSE);
        for (int bx = 0; bx < comp.blocksWide; ++bx)
          for (int i = 0; i < 64; ++i) comp.coefficients.push_back(rows[0][bx][i]);
      }
      out.components.push_back(std::move(comp));
    }
    jpeg_finish_decompress(&cinfo);
  });
}

}  // namespace jpegread
