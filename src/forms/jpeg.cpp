#include "forms/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace forms
{
    namespace
    {
        // libjpeg reports a fatal error by calling error_exit, which must not
        // return; it jumps back to the decoder, whose objects all outlive the jump.
        struct ErrorManager
        {
            jpeg_error_mgr base;
            std::jmp_buf jump;
        };

        void OnError(j_common_ptr info)
        {
            auto* manager = reinterpret_cast<ErrorManager*>(info->err);
            std::longjmp(manager->jump, 1);
        }

        void OnMessage(j_common_ptr) {} // warnings go nowhere

        // Decodes into `pixels`; false on any error. Kept free of objects with
        // destructors between setjmp and the end, as longjmp requires.
        bool Decode(std::span<const std::uint8_t> data, std::vector<std::uint32_t>& pixels, int& width, int& height)
        {
            jpeg_decompress_struct info{};
            ErrorManager errors{};
            info.err = jpeg_std_error(&errors.base);
            errors.base.error_exit = OnError;
            errors.base.output_message = OnMessage;
            std::vector<unsigned char> row;
            if (setjmp(errors.jump))
            {
                jpeg_destroy_decompress(&info);
                return false;
            }
            jpeg_create_decompress(&info);
            jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
            if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
            {
                jpeg_destroy_decompress(&info);
                return false;
            }
            info.out_color_space = JCS_RGB;
            jpeg_start_decompress(&info);
            width = static_cast<int>(info.output_width);
            height = static_cast<int>(info.output_height);
            if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || info.output_components != 3)
            {
                jpeg_destroy_decompress(&info);
                return false;
            }
            pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
            row.resize(static_cast<std::size_t>(width) * 3);
            while (info.output_scanline < info.output_height)
            {
                const std::size_t y = info.output_scanline;
                JSAMPROW rows[1] = { row.data() };
                jpeg_read_scanlines(&info, rows, 1);
                for (int x = 0; x < width; ++x)
                {
                    const unsigned char* p = &row[static_cast<std::size_t>(x) * 3];
                    pixels[y * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                        (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
                }
            }
            jpeg_finish_decompress(&info);
            const bool clean = errors.base.num_warnings == 0; // a cut-short file only warns
            jpeg_destroy_decompress(&info);
            return clean;
        }
    } // namespace

    os::Bitmap DecodeJpeg(std::span<const std::uint8_t> data, std::string name)
    {
        if (data.size() < 4)
            return {};
        os::Bitmap b;
        if (!Decode(data, b.pixels, b.width, b.height))
            return {};
        b.name = std::move(name);
        return b;
    }

    os::Bitmap LoadJpegResource(os::IProcess& process, const std::string& name)
    {
        const auto data = process.LoadResourceData(name);
        return DecodeJpeg(data, name);
    }
} // namespace forms
