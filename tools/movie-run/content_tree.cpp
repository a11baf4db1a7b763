#include "content_tree.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace movierun
{
    bool ContentTree::AddFolder(const std::string& folder, std::string& why)
    {
        namespace fs = std::filesystem;
        std::error_code ec;
        if (!fs::is_directory(folder, ec))
        {
            why = folder + ": not a folder";
            return false;
        }
        std::map<std::string, std::string> read;
        fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        {
            if (!it->is_regular_file(ec))
                continue;
            if (read.size() >= MaxFiles)
            {
                why = folder + ": more than " + std::to_string(MaxFiles) + " files";
                return false;
            }
            const auto size = it->file_size(ec);
            if (ec || size > MaxFileBytes)
            {
                why = it->path().string() + (ec ? ": cannot be read" : ": larger than 16 MiB");
                return false;
            }
            std::ifstream in(it->path(), std::ios::binary);
            std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in.good() && !in.eof())
            {
                why = it->path().string() + ": cannot be read";
                return false;
            }
            read[fs::relative(it->path(), folder).generic_string()] = std::move(body);
        }
        if (ec)
        {
            why = folder + ": " + ec.message();
            return false;
        }
        for (auto& [path, body] : read)
            _files[path] = std::move(body);
        return true;
    }

    void ContentTree::Serve(os::sim::Desktop& desktop, const std::string& base) const
    {
        for (const auto& [path, body] : _files)
        {
            desktop.downloads.Serve(base + path, os::sim::DownloadResponse::Body(body));
        }
    }

    void ContentTree::Withdraw(os::sim::Desktop& desktop, const std::string& base) const
    {
        for (const auto& [path, body] : _files)
        {
            desktop.downloads.Remove(base + path);
        }
    }

    void ContentTree::ServeLocal(os::sim::Desktop& desktop, const std::string& folder) const
    {
        for (const auto& [path, body] : _files)
        {
            if (path.find('/') != std::string::npos)
                continue;
            desktop.downloads.AddFile(folder + "\\" + path, body);
            desktop.process.AddFile(folder + "\\" + path);
        }
    }
} // namespace movierun
