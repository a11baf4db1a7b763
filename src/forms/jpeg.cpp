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
        // destructors between setjmp and the end, as longjmp requires: the buffers
        // belong to the caller.
        bool Decode(std::span<const std::uint8_t> data, int maxSide, std::vector<std::uint32_t>& pixels,
                    std::vector<unsigned char>& row, int& width, int& height, bool& tooLarge)
        {
            jpeg_decompress_struct info{};
            ErrorManager errors{};
            info.err = jpeg_std_error(&errors.base);
            errors.base.error_exit = OnError;
            errors.base.output_message = OnMessage;
            if (setjmp(errors.jump))
            {
                jpeg_destroy_decompress(&info);
                return false;
            }
            jpeg_create_decompress(&info);
            jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
            // With an image required, a header that is not one fails through
            // error_exit; the memory source never suspends.
            jpeg_read_header(&info, TRUE);
            // The size comes from the header, before anything is allocated for it:
            // a few hundred bytes may claim a picture of a gigabyte.
            if (info.image_width > static_cast<unsigned>(maxSide) || info.image_height > static_cast<unsigned>(maxSide))
            {
                tooLarge = true;
                jpeg_destroy_decompress(&info);
                return false;
            }
            info.out_color_space = JCS_RGB;
            jpeg_start_decompress(&info);
            width = static_cast<int>(info.output_width);
            height = static_cast<int>(info.output_height);
            // libjpeg refuses empty pictures and colour spaces it cannot turn into RGB;
            // the row buffer below holds three bytes a pixel, whatever happens.
            if (info.output_components != 3)
            {
                jpeg_destroy_decompress(&info);
                return false;
            }
            // The pixels grow row by row as the data delivers them: a cut-short file
            // that claims a large picture stops at its first missing row.
            pixels.clear();
            row.resize(static_cast<std::size_t>(width) * 3);
            while (info.output_scanline < info.output_height)
            {
                const std::size_t y = info.output_scanline;
                JSAMPROW rows[1] = { row.data() };
                jpeg_read_scanlines(&info, rows, 1);
                // Cut-short data only warns, and the rest would be decoded as grey:
                // the picture is refused anyway, so stop here.
                if (errors.base.num_warnings != 0)
                {
                    jpeg_destroy_decompress(&info);
                    return false;
                }
                pixels.resize((y + 1) * static_cast<std::size_t>(width));
                for (int x = 0; x < width; ++x)
                {
                    const unsigned char* p = &row[static_cast<std::size_t>(x) * 3];
                    pixels[y * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                        (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
                }
            }
            pixels.shrink_to_fit();
            jpeg_finish_decompress(&info);
            const bool clean = errors.base.num_warnings == 0; // a cut-short file only warns
            jpeg_destroy_decompress(&info);
            return clean;
        }
    } // namespace

    os::Bitmap DecodeJpeg(std::span<const std::uint8_t> data, std::string name, int maxSide, bool* tooLarge)
    {
        bool large = false;
        if (data.size() < 4 || maxSide <= 0)
            return {};
        os::Bitmap b;
        std::vector<unsigned char> row;
        if (!Decode(data, maxSide, b.pixels, row, b.width, b.height, large))
        {
            if (tooLarge)
                *tooLarge = large;
            return {};
        }
        b.name = std::move(name);
        return b;
    }

    os::Bitmap LoadJpegResource(os::IProcess& process, const std::string& name)
    {
        const auto data = process.LoadResourceData(name);
        return DecodeJpeg(data, name);
    }
} // namespace forms
