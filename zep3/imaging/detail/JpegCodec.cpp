#include <zep3/imaging/detail/JpegCodec.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>
// jpeglib.h first: jerror.h needs its types.
#include <jerror.h>

// Every function here that calls into libjpeg sets the jump target first and
// keeps no C++ object with a destructor alive across the calls, so libjpeg's
// fatal errors may longjmp back to it.

namespace zep3::detail {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

// Warnings about damaged data end the operation: a truncated or corrupt
// stream is a failure, not a picture padded with grey. Other warnings and all
// trace messages are dropped.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    switch (cinfo->err->msg_code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL: ErrorExit(cinfo);
    default: break;
    }
}

void Silent(j_common_ptr) {}

jpeg_error_mgr* InitErrors(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = Silent;
    return &err.pub;
}

// Destination into a JpegOutput block.
struct Destination {
    jpeg_destination_mgr pub;
    JpegOutput* out;
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->out->data;
    dest->pub.free_in_buffer = dest->out->capacity;
}

boolean EmptyDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    JpegOutput& out = *dest->out;
    if (!out.growable) ERREXIT(cinfo, JERR_BUFFER_SIZE);
    const size_t used = out.capacity;
    const size_t capacity = used ? used * 2 : 65536;
    auto* grown = static_cast<BYTE*>(std::realloc(out.data, capacity));
    if (!grown) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    out.data = grown;
    out.capacity = capacity;
    dest->pub.next_output_byte = grown + used;
    dest->pub.free_in_buffer = capacity - used;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
    dest->out->size = dest->out->capacity - dest->pub.free_in_buffer;
}

// Rows handed to libjpeg per call.
constexpr int kRowBatch = 16;

} // namespace

bool JpegEncode(const JpegRows& rows, int quality, const void* comment, unsigned commentLength, JpegOutput& out) {
    if (!rows.firstRow || rows.width <= 0 || rows.height <= 0) return false;
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager err;
    Destination dest;
    cinfo.err = InitErrors(err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    if (out.file) {
        jpeg_stdio_dest(&cinfo, out.file);
    } else {
        dest.pub.init_destination = InitDestination;
        dest.pub.empty_output_buffer = EmptyDestination;
        dest.pub.term_destination = TermDestination;
        dest.out = &out;
        cinfo.dest = &dest.pub;
    }
    const bool colour = rows.pixels == JpegPixels::Bgr;
    cinfo.image_width = static_cast<JDIMENSION>(rows.width);
    cinfo.image_height = static_cast<JDIMENSION>(rows.height);
    cinfo.input_components = colour ? 3 : 1;
    cinfo.in_color_space = colour ? JCS_EXT_BGR : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (colour) {
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 2;
        for (int c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (comment && commentLength)
        jpeg_write_marker(&cinfo, JPEG_COM, static_cast<const JOCTET*>(comment), commentLength);
    JSAMPROW batch[kRowBatch];
    while (cinfo.next_scanline < cinfo.image_height) {
        const JDIMENSION first = cinfo.next_scanline;
        JDIMENSION n = cinfo.image_height - first;
        if (n > kRowBatch) n = kRowBatch;
        for (JDIMENSION i = 0; i < n; ++i)
            batch[i] = const_cast<JSAMPROW>(rows.firstRow + ptrdiff_t(first + i) * rows.rowStep);
        jpeg_write_scanlines(&cinfo, batch, n);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    if (out.file) std::fflush(out.file);
    return !out.file || !std::ferror(out.file);
}

struct JpegDecoder::State {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    bool created = false;
    bool headerRead = false;
};

JpegDecoder::JpegDecoder() : m_state(new (std::nothrow) State()) {
    if (!m_state) return;
    State& s = *m_state;
    s.cinfo.err = InitErrors(s.err);
    if (setjmp(s.err.jump)) return;
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
}

JpegDecoder::~JpegDecoder() {
    if (m_state && m_state->created) jpeg_destroy_decompress(&m_state->cinfo);
}

bool JpegDecoder::ReadHeader(const void* data, size_t length) {
    if (!m_state || !m_state->created || m_state->headerRead || !data || !length) return false;
    State& s = *m_state;
    if (setjmp(s.err.jump)) {
        jpeg_abort_decompress(&s.cinfo);
        return false;
    }
    jpeg_mem_src(&s.cinfo, static_cast<const unsigned char*>(data), static_cast<unsigned long>(length));
    jpeg_read_header(&s.cinfo, TRUE);
    s.headerRead = true;
    return true;
}

bool JpegDecoder::ReadHeader(FILE* file) {
    if (!m_state || !m_state->created || m_state->headerRead || !file) return false;
    State& s = *m_state;
    if (setjmp(s.err.jump)) {
        jpeg_abort_decompress(&s.cinfo);
        return false;
    }
    jpeg_stdio_src(&s.cinfo, file);
    jpeg_read_header(&s.cinfo, TRUE);
    s.headerRead = true;
    return true;
}

int JpegDecoder::Width() const { return m_state && m_state->headerRead ? int(m_state->cinfo.image_width) : 0; }
int JpegDecoder::Height() const { return m_state && m_state->headerRead ? int(m_state->cinfo.image_height) : 0; }
int JpegDecoder::Components() const { return m_state && m_state->headerRead ? m_state->cinfo.num_components : 0; }

bool JpegDecoder::Decode(JpegPixels pixels, BYTE* firstRow, ptrdiff_t rowStep, int pixelBytes) {
    if (!m_state || !m_state->headerRead || !firstRow) return false;
    State& s = *m_state;
    s.headerRead = false; // one decode per header
    jpeg_decompress_struct& cinfo = s.cinfo;
    if (setjmp(s.err.jump)) {
        jpeg_abort_decompress(&cinfo);
        return false;
    }
    const bool colour = pixels == JpegPixels::Bgr;
    // libjpeg turns grey and YCbCr pictures into either format; CMYK and
    // other colour spaces have no conversion here.
    if (cinfo.jpeg_color_space != JCS_GRAYSCALE && cinfo.jpeg_color_space != JCS_YCbCr &&
        cinfo.jpeg_color_space != JCS_RGB)
        ERREXIT(&cinfo, JERR_CONVERSION_NOTIMPL);
    cinfo.out_color_space = colour ? JCS_EXT_BGR : JCS_GRAYSCALE;
    jpeg_start_decompress(&cinfo);
    const int expand = colour ? 1 : pixelBytes;
    JSAMPROW batch[kRowBatch];
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        JDIMENSION n = cinfo.output_height - first;
        if (n > kRowBatch) n = kRowBatch;
        for (JDIMENSION i = 0; i < n; ++i) batch[i] = firstRow + ptrdiff_t(first + i) * rowStep;
        n = jpeg_read_scanlines(&cinfo, batch, n);
        // Spread grey bytes over wider pixels, from the row's end backwards
        // so that no byte is overwritten before it is read.
        for (JDIMENSION i = 0; expand > 1 && i < n; ++i)
            for (JDIMENSION x = cinfo.output_width; x-- > 0;)
                std::memset(batch[i] + size_t(x) * expand, batch[i][x], size_t(expand));
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

} // namespace zep3::detail
