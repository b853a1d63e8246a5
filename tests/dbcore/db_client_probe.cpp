// Opens a database and says which client library served it and how often the alternative one
// was asked for its entry point.
#include "FbConnection.h"

#include <cstdio>
#include <dlfcn.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    FirebirdEnvironment_Prepare(qEnvironmentVariable("VRQ_BIN_DIR"));
    try {
        TFbConnection db;
        db.SetDatabase(QString::fromLocal8Bit(argv[1]));
        db.Open();
        db.Query(QStringLiteral("SELECT 1 FROM rdb$database"));
        db.Close();
        TFbConnection second; // a later connection keeps the first choice
        second.SetDatabase(QString::fromLocal8Bit(argv[1]));
        second.Open();
    } catch (const EUlmex& e) {
        std::fprintf(stderr, "%s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
    int calls = 0;
    if (void* h = dlopen("libUlmexDB_Client.so", RTLD_NOW | RTLD_NOLOAD)) {
        if (auto count = reinterpret_cast<int (*)()>(dlsym(h, "UlmexDB_Client_Calls")))
            calls = count();
        dlclose(h);
    }
    std::printf("%s calls=%d ok\n", DatabaseClientLibrary_str().toLatin1().constData(), calls);
    return 0;
}
