// Test helper: THREADS threads, each with its own connection to DATABASE, draw COUNT serial
// numbers and print them one per line.  Usage: vrq_serial_worker DATABASE THREADS COUNT
#include "dmodSystem.h"

#include <QCoreApplication>
#include <QMutex>
#include <cstdio>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: vrq_serial_worker DATABASE THREADS COUNT\n");
        return 2;
    }
    FirebirdEnvironment_Prepare(QCoreApplication::applicationDirPath());
    const QString name = QString::fromLocal8Bit(argv[1]);
    const int threads = std::clamp(atoi(argv[2]), 1, 64);
    const int count = std::clamp(atoi(argv[3]), 1, 100000);
    QMutex outMutex;
    std::vector<int64_t> numbers;
    bool failed = false;
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            std::vector<int64_t> mine;
            try {
                TFbConnection db;
                db.SetDatabase(name);
                db.Open();
                for (int i = 0; i < count; ++i)
                    mine.push_back(TdmSystem::NextSerialNumber(db));
            } catch (const std::exception& e) {
                const QMutexLocker lock(&outMutex);
                std::fprintf(stderr, "worker: %s\n", e.what());
                failed = true;
            }
            const QMutexLocker lock(&outMutex);
            numbers.insert(numbers.end(), mine.begin(), mine.end());
        });
    }
    for (std::thread& t : pool)
        t.join();
    for (int64_t n : numbers)
        std::printf("%lld\n", static_cast<long long>(n));
    return failed ? 1 : 0;
}
