#pragma once
// The ACR120 reader library calls, as an interface with exchangeable backends. Every call returns
// a 16-bit result; negative values are the library's error codes below.

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

namespace Acr120 {
inline constexpr int16_t ERR_INTERNAL_UNEXPECTED = -1000; // also "done" after trailer writes
inline constexpr int16_t ERR_PORT_INVALID = -2000;
inline constexpr int16_t ERR_PORT_OCCUPIED = -2010;
inline constexpr int16_t ERR_HANDLE_INVALID = -2020;
inline constexpr int16_t ERR_INCORRECT_PARAM = -2030;
inline constexpr int16_t ERR_NO_TAG = -3000;
inline constexpr int16_t ERR_READ_AFTER_OP = -3010;
inline constexpr int16_t ERR_NO_VALUE_BLOCK = -3020;
inline constexpr int16_t ERR_OPERATION_FAILED = -3030;
inline constexpr int16_t ERR_UNKNOWN = -3040;
inline constexpr int16_t ERR_LOGIN_INVALID_STORED_KEY = -4010;
inline constexpr int16_t ERR_READ_AFTER_WRITE = -4020;
inline constexpr int16_t ERR_DEC_FAILURE_EMPTY = -4030;

inline constexpr uint8_t KEY_TYPE_A = 0xAA; // key A given in the login call
inline constexpr uint8_t KEY_TYPE_B = 0xBB; // key B given in the login call

// Tag types returned by ACR120_Select.
inline constexpr uint8_t TAG_MIFARE_1K = 2;
inline constexpr uint8_t TAG_MIFARE_4K = 3;
inline constexpr uint8_t TAG_ULTRALIGHT = 5;
inline constexpr uint8_t TAG_MIFARE_MINI = 9;
} // namespace Acr120

using TAcr120Key = std::array<uint8_t, 6>;
using TAcr120Block = std::array<uint8_t, 16>;
using TAcr120Serial = std::array<uint8_t, 10>;

// The status record ACR120_Status fills besides the firmware text; not used by the driver.
struct TAcr120Status {
    uint8_t mifareChipType = 0;
    uint8_t userPort = 0;
    uint8_t flags = 0;
};

class IAcr120 {
public:
    virtual ~IAcr120() = default;
    virtual int16_t ACR120_Open(uint16_t readerPort) = 0;
    virtual int16_t ACR120_Close(int16_t handle) = 0;
    virtual int16_t ACR120_Select(int16_t handle, uint8_t& tagType, uint8_t& serialLength,
                                  TAcr120Serial& serial) = 0;
    virtual int16_t ACR120_Login(int16_t handle, uint8_t sector, uint8_t keyType,
                                 uint8_t storedKeyNo, const TAcr120Key& key) = 0;
    virtual int16_t ACR120_Read(int16_t handle, uint8_t block, TAcr120Block& data) = 0;
    virtual int16_t ACR120_Write(int16_t handle, uint8_t block, const TAcr120Block& data) = 0;
    virtual int16_t ACR120_WriteUserPort(int16_t handle, uint8_t value) = 0;
    virtual int16_t ACR120_RequestDLLVersion(uint8_t& length, std::array<char, 31>& version) = 0;
    virtual int16_t ACR120_Status(int16_t handle, std::array<uint8_t, 20>& firmware,
                                  TAcr120Status& status) = 0;
};

// Text of a library or driver result code: "( X ) ... : code", else "Unknown Error (code)".
QString Acr120ErrorText(int code);

// The process-wide backend named by halvex.ini [Contactless] Backend (default "sim"), created
// at the first call. nullptr when the named backend does not exist here; *backendName gets it.
std::shared_ptr<IAcr120> Acr120Library(QString* backendName = nullptr);
