// A bounded load run against the content server: several keep-alive clients ask
// for one address as fast as they can for a few seconds, then the run prints the
// answers per second. Not a test; bench/server_load.sh builds and runs it.
//
//   server_load HOST PORT PATH [seconds=5] [clients=4]
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 4)
    {
        std::fprintf(stderr, "usage: server_load HOST PORT PATH [seconds=5] [clients=4]\n");
        return 2;
    }
    const std::string host = argv[1];
    const int port = std::atoi(argv[2]);
    const std::string path = argv[3];
    const int seconds = argc > 4 ? std::max(1, std::min(60, std::atoi(argv[4]))) : 5;
    const int clients = argc > 5 ? std::max(1, std::min(64, std::atoi(argv[5]))) : 4;

    std::atomic<bool> stop = false;
    std::atomic<long long> ok = 0;
    std::atomic<long long> failed = 0;
    std::atomic<long long> bytes = 0;
    std::vector<std::thread> threads;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < clients; ++i)
        threads.emplace_back(
            [&]
            {
                httplib::Client client(host, port);
                client.set_keep_alive(true);
                client.set_tcp_nodelay(true);
                while (!stop)
                {
                    const httplib::Result r = client.Get(path);
                    if (r && r->status == 200)
                    {
                        ++ok;
                        bytes += static_cast<long long>(r->body.size());
                    }
                    else
                        ++failed;
                }
            });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (std::thread& t : threads)
        t.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %lld answers in %.2f s with %d clients: %.0f requests/s, %lld failed, %.1f KiB/s\n", path.c_str(), ok.load(),
                elapsed, clients, static_cast<double>(ok.load()) / elapsed, failed.load(),
                static_cast<double>(bytes.load()) / elapsed / 1024);
    return failed.load() == 0 ? 0 : 1;
}
