// Test helper: writes <count> values "<name>-<i>" = "<name> <i>" into
// HKEY_LOCAL_MACHINE\Software\Race of the hives in <machine folder> / <user folder>.
// Exits with 1 if any write fails.

#include <registry/hivelocations.h>
#include <registry/registry.h>

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

using namespace Registry;

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s machine-folder user-folder name count\n", argv[0]);
        return 2;
    }
    setHiveLocations({QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])});
    const QString name = QString::fromLocal8Bit(argv[3]);
    const int count = std::atoi(argv[4]);

    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\Race"), 0, QString(),
                       REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                       nullptr) != ERROR_SUCCESS)
        return 1;
    for (int i = 0; i < count; ++i) {
        const QString text = name + u' ' + QString::number(i);
        const QByteArray data(reinterpret_cast<const char*>(text.utf16()), (text.size() + 1) * 2);
        if (RegSetValueEx(key, name + u'-' + QString::number(i), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.constData()),
                          DWORD(data.size())) != ERROR_SUCCESS) {
            std::fprintf(stderr, "write %d failed\n", i);
            return 1;
        }
    }
    RegCloseKey(key);
    return 0;
}
