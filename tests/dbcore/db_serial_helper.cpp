// Allocates serial numbers from one database in several threads, each with its own connection,
// and prints them one per line.
#include "dmodSystem.h"

#include <QCoreApplication>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    FirebirdEnvironment_Prepare(QCoreApplication::applicationDirPath());
    const QString db = QString::fromLocal8Bit(argv[1]);
    const int threads = std::atoi(argv[2]);
    const int each = std::atoi(argv[3]);
    std::mutex m;
    std::vector<long long> numbers;
    std::atomic<int> failures{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            try {
                TFbConnection c;
                c.SetDatabase(db);
                c.Open();
                for (int i = 0; i < each; ++i) {
                    const long long n = TdmSystem::NextSerialNumber(c);
                    const std::lock_guard lock(m);
                    numbers.push_back(n);
                }
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", e.what());
                ++failures;
            }
        });
    for (auto& t : pool)
        t.join();
    for (long long n : numbers)
        std::printf("%lld\n", n);
    return failures ? 1 : 0;
}
