#include "server/options.h"

#include "server/documents.h"
#include "server/request_path.h"
#include "server/text.h"

#include <charconv>

namespace content
{
    namespace
    {
        bool Number(const std::string& text, long long min, long long max, long long& value)
        {
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            return ec == std::errc() && end == text.data() + text.size() && value >= min && value <= max;
        }
    } // namespace

    std::string UsageText()
    {
        return "Usage: content-server [options]\n"
               "Serves the ticker's content folder over HTTP under " +
               std::string(BasePath) +
               "\n\n"
               "  --content DIR           the content folder (default: content)\n"
               "  --address ADDR          the address to listen on (default: 127.0.0.1)\n"
               "  --port N                the port to listen on (default: 8421)\n"
               "  --public-url URL        the tree's absolute http address, ending in /, as the\n"
               "                          logo page and version.txt name it (default: made from\n"
               "                          the address and port, 127.0.0.1 for a wildcard address)\n"
               "  --offer-version V       the newest version, dotted numbers (default: this build's)\n"
               "  --download FILE         the installer of that version, served at download/<name>\n"
               "  --download-url URL      or an installer address elsewhere\n"
               "  --max-source-bytes N    the largest feed source read (default: 2097152)\n"
               "  --poll SECONDS          how often local files are looked at (default: 5)\n"
               "  --fetch-timeout SECONDS how long a web source may take to connect or stay\n"
               "                          silent; the whole body within twice this (default: 10)\n"
               "  --max-connections N     connections open at once (default: 4000)\n"
               "  --max-per-address N     connections open at once from one address, 0 for no\n"
               "                          limit (default: 200)\n"
               "  --head-timeout SECONDS  for a request head to arrive whole (default: 10)\n"
               "  --export DIR            write the whole served tree into DIR and exit\n"
               "  --check                 fetch every channel's source once, print its format,\n"
               "                          encoding, headline count and first headline, and exit\n"
               "                          (status 1 when a channel has no headlines)\n"
               "  --help                  this text\n";
    }

    OptionsResult ParseOptions(const std::vector<std::string>& args, const std::string& defaultVersion)
    {
        OptionsResult result;
        Options options;
        options.offerVersion = defaultVersion;
        bool hasPublic = false;
        for (std::size_t i = 0; i < args.size(); ++i)
        {
            const std::string& name = args[i];
            if (name == "--help" || name == "-h")
            {
                options.help = true;
                continue;
            }
            if (name == "--check")
            {
                options.check = true;
                continue;
            }
            const bool known = name == "--content" || name == "--address" || name == "--port" || name == "--public-url" ||
                               name == "--offer-version" || name == "--download" || name == "--download-url" ||
                               name == "--max-source-bytes" || name == "--poll" || name == "--fetch-timeout" ||
                               name == "--max-connections" || name == "--max-per-address" || name == "--head-timeout" ||
                               name == "--export";
            if (!known)
            {
                result.error = "unknown option " + name;
                return result;
            }
            if (i + 1 >= args.size())
            {
                result.error = name + " needs a value";
                return result;
            }
            const std::string& value = args[++i];
            long long number = 0;
            if (name == "--content")
                options.folder = value;
            else if (name == "--address")
                options.address = value;
            else if (name == "--port" && Number(value, 1, 65535, number))
                options.port = static_cast<int>(number);
            else if (name == "--public-url" && IsWebAddress(value) && LowerAscii(value).starts_with("http://") &&
                     value.ends_with('/'))
            {
                options.publicBase = value;
                hasPublic = true;
            }
            else if (name == "--offer-version" && IsVersion(value))
                options.offerVersion = value;
            else if (name == "--download" && !value.empty())
                options.download = value;
            else if (name == "--download-url" && IsWebAddress(value))
                options.downloadAddress = value;
            else if (name == "--max-source-bytes" && Number(value, 1024, 256LL * 1024 * 1024, number))
                options.maxSourceBytes = static_cast<std::size_t>(number);
            else if (name == "--poll" && Number(value, 1, 3600, number))
                options.poll = std::chrono::seconds(number);
            else if (name == "--fetch-timeout" && Number(value, 1, 300, number))
                options.fetchTimeout = std::chrono::seconds(number);
            else if (name == "--max-connections" && Number(value, 1, 1000000, number))
                options.maxConnections = static_cast<unsigned>(number);
            else if (name == "--max-per-address" && Number(value, 0, 1000000, number))
                options.maxPerAddress = static_cast<unsigned>(number);
            else if (name == "--head-timeout" && Number(value, 1, 3600, number))
                options.headTimeout = std::chrono::seconds(number);
            else if (name == "--export" && !value.empty())
                options.exportDir = value;
            else
            {
                result.error = "bad value for " + name + ": " + value;
                return result;
            }
        }
        if (!options.download.empty() && !options.downloadAddress.empty())
        {
            result.error = "--download and --download-url exclude each other";
            return result;
        }
        if (options.check && !options.exportDir.empty())
        {
            result.error = "--check and --export exclude each other";
            return result;
        }
        if (!hasPublic)
        {
            // The strip finds the logo by its "http://", so the public address is plain http.
            std::string host = options.address;
            if (host == "0.0.0.0" || host == "::" || host.empty())
                host = "127.0.0.1";
            else if (host.find(':') != std::string::npos)
                host = "[" + host + "]";
            options.publicBase = "http://" + host + ":" + std::to_string(options.port) + std::string(BasePath);
        }
        result.options = std::move(options);
        return result;
    }
} // namespace content
