#include "unitDeviceCom.h"

#include "Errors.h"
#include "UlmexMsgBox.h"
#include "unitThreadGlobal.h"
#include "unitTrace.h"
#include "unitUtils.h"

#include <QCoreApplication>

namespace {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
const QByteArray kCRLF = "\r\n";

QByteArray upperAscii(QByteArray s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

// Field of a reply body: case-insensitive name, first line wins, value after the first "=".
QByteArray replyField(const QByteArray& body, const QByteArray& name) {
    const QByteArray wanted = upperAscii(name);
    for (const QByteArray& raw : body.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && upperAscii(line.left(eq)) == wanted)
            return line.mid(eq + 1);
    }
    return {};
}

QByteArray hex2(int v) { return QByteArray::number(v & 0xFF, 16).rightJustified(2, '0').toUpper(); }

int hexValue(const QByteArray& two) {
    bool ok = false;
    const int v = two.toInt(&ok, 16);
    return ok ? v : 0;
}

bool bit(int word, int n) { return (word >> (n - 1)) & 1; }

// MMDDYY of a version; device kind 1 writes years from 2000 on as a letter and a digit.
TDateTime versionDate(const QByteArray& six, int kind) {
    if (six.size() < 6)
        throw EUlmex(QStringLiteral("Version text too short"));
    bool okM = false, okD = false;
    const int month = six.mid(0, 2).toInt(&okM);
    const int day = six.mid(2, 2).toInt(&okD);
    int year = 0;
    const char c5 = six[4];
    if (kind == 1 && ((c5 >= 'A' && c5 <= 'Z') || (c5 >= 'a' && c5 <= 'z'))) {
        year = 1350 + 10 * int(uchar(c5)) + (six[5] - '0');
    } else {
        bool okY = false;
        const int yy = six.mid(4, 2).toInt(&okY);
        if (!okY)
            throw EUlmex(QStringLiteral("'%1' is not a version date").arg(QString::fromLatin1(six)));
        year = kind == 1 ? 1900 + yy : (yy < 90 ? 2000 + yy : 1900 + yy);
    }
    TDateTime dt;
    if (!okM || !okD || !TDateTime::TryEncode(year, month, day, 0, 0, 0, 0, &dt))
        throw EUlmex(QStringLiteral("'%1' is not a version date").arg(QString::fromLatin1(six)));
    return dt;
}

} // namespace

int ExpectedResponse_int(int command) {
    switch (command) {
    case 0: return 0;
    case 1: return 50;
    case 2: return 51;
    case 3:
    case 33: return 52;
    case 10: return 55;
    case 13:
    case 100: return -1;
    case 28: return 65;
    case 29: return 66;
    case 35:
    case 37: return 67;
    case 41: return 68;
    case 42: return 69;
    default: return 57;
    }
}

bool DeviceStatusFill(const QByteArray& answer, TDeviceStatus& s) {
    try {
        if (answer.contains("QUILEN")) {
            s.bQuil = true;
            s.intDeviceKind = 3;
            const QByteArrayList items = answer.split('*');
            QStringList mac;
            for (const QByteArray& part : items.value(1).split('-'))
                mac << QString::fromLatin1(part).rightJustified(2, u'0');
            s.strMACAddress = mac.join(u'-');
            s.strVersion1 = QString::fromLatin1(items.value(5));
            return items.size() > 5;
        }
        if (answer.size() <= 34)
            return false;
        // Positions count from the STX at 1.
        auto at = [&](int from, int to) { return answer.mid(from - 1, to - from + 1); };
        s.bFlag13 = at(13, 13) == "1";
        s.intNumber = at(14, 16).toInt();
        s.intFeatureWord = hexValue(at(17, 20));
        const int w = s.intFeatureWord;
        if (bit(w, 16)) {
            s.intDeviceKind = 1;
            const int bits[] = {1, 14, 13, 12, 11, 10, 9, 4, 3, 2};
            for (size_t i = 0; i < std::size(bits); ++i)
                s.bFeatures[i] = bit(w, bits[i]);
            s.bFeatures[5] = bit(w, 10) || bit(w, 1);
        } else if (bit(w, 15) && bit(w, 14)) {
            s.intDeviceKind = 2;
            s.bFeatures[0] = bit(w, 13);
        }
        s.strVersion1 = QString::fromLatin1(at(24, 29));
        s.strVersion2 = QString::fromLatin1(at(30, 35));
        s.datVersion1 = versionDate(at(24, 29), s.intDeviceKind);
        s.datVersion2 = versionDate(at(30, 35), s.intDeviceKind);
        const bool bit3Flag = s.bFeatures[8];
        const bool bit1Flag = s.bFeatures[0];
        if ((s.intDeviceKind == 1 && bit3Flag && !(s.datVersion2 < TDateTime::FromDate(2002, 2, 28))) ||
            (s.intDeviceKind == 2 && !(s.datVersion2 < TDateTime::FromDate(2002, 2, 19))) ||
            (s.intDeviceKind == 1 && bit1Flag))
            s.bLateVersion = true;
        return true;
    } catch (const std::exception& e) {
        ReportDeviceFault(QStringLiteral("Error - Device Status Record Fill"), ExceptionText(e));
        return false;
    }
}

QByteArray DatacardRequest(const TKeyStringParts& p) {
    QByteArray r = "<";
    if (p.printTexts.isEmpty())
        r += " \n";
    for (const QByteArray& t : p.printTexts)
        r += t + '\n';
    r += '"';
    if (!p.track1.isEmpty())
        r += '%' + p.track1 + '?';
    if (!p.track2.isEmpty())
        r += ';' + p.track2 + '?';
    if (!p.track3.isEmpty())
        r += "_;" + p.track3 + '?';
    r += ">\r\n";
    return r;
}

TDeviceCom::TDeviceCom(int baudKind, IStationDirectory* directory, QString stationID)
    : m_socket(std::make_unique<TSocketWrapper>()), m_baudKind(baudKind), m_directory(directory),
      m_stationID(std::move(stationID)) {}

TDeviceCom::~TDeviceCom() = default;

void TDeviceCom::setErrorTexts(const QString& t0, const QString& t1, const QString& t2) {
    m_errorTexts = {t0, t1, t2};
    ThreadGlobalList().Register(Ulmex_GetCurrentThreadID());
    if (TThreadGlobal* g = ThreadGlobalList().Find(Ulmex_GetCurrentThreadID())) {
        g->strValues[0] = t0;
        g->strValues[1] = t1;
        g->strValues[2] = t2;
    }
}

QByteArray TDeviceCom::tail() const {
    return kCRLF + "intInterfaceType=" + QByteArray::number(m_interfaceType) + kCRLF +
           "strPrintLayout=" + m_printLayout + kCRLF + "strDeviceName=" + m_deviceName;
}

bool TDeviceCom::Link(bool comLink) {
    m_lastErrorCode = 0;
    m_returnedData.clear();
    try {
        if (!m_directory)
            throw EUlmex(QStringLiteral("TDeviceCom.Link:FdmSys not assigned"));
        const std::optional<TEncoderMapRow> row = m_directory->EncoderMap(m_stationID);
        if (!row) {
            m_lastErrorCode = 161;
            setErrorTexts(m_stationID);
            return false;
        }
        m_direct = row->lngMachineType;
        m_interfaceType = row->lngInterfaceType;
        m_deviceName = row->strDeviceName.toLocal8Bit();
        m_serverAddress = row->strIPAddr;
        m_usb = row->bUSB_Port;
        const int baud = m_baudKind == 1 ? row->lngEncoder_Baud : m_baudKind == 2 ? row->lngLPI_Baud : 0;
        m_printLayout.clear();
        if (row->idxKeyPrintLayoutID > 0) {
            try {
                m_printLayout = m_directory->PrintLayoutText(row->idxKeyPrintLayoutID);
            } catch (const std::exception& e) {
                UlmexMsgBox(QString(), QStringLiteral("Error - Print Layout"), ExceptionText(e), false, 0,
                            UlmexMB_ICONERROR);
                return false;
            }
        }
        const int port = m_direct == 1 ? row->lngPort : m_directory->VRQPort();
        if (!m_socket->Connected()) {
            int code = 0;
            if (!m_socket->Connect(row->strIPAddr, port, false, &code)) {
                m_lastErrorCode = 162;
                setErrorTexts(m_stationID, row->strName);
                return false;
            }
            QString answered = row->strName;
            if (m_direct != 1) {
                const QByteArray greeting = m_socket->WaitMessage(5000);
                answered = greeting.startsWith("CHN=")
                               ? QString::fromLocal8Bit(greeting.mid(4))
                               : QCoreApplication::translate("Resource", "Unknown");
            }
            m_greetedName = answered;
            if (!AcceptAnyServerName && answered.toUpper() != row->strName.toUpper()) {
                m_lastErrorCode = 163;
                setErrorTexts(m_stationID, row->strName, answered);
                m_socket->Disconnect();
                return false;
            }
        }
        if (m_direct == 1)
            return true;
        QByteArray text;
        if (comLink)
            text = "strAction=COMLINK" + kCRLF + "intComPort=" + QByteArray::number(std::abs(row->lngPort)) +
                   kCRLF + "intBaudRate=" + QByteArray::number(baud) + kCRLF + "bUSB=" +
                   (m_usb ? "-1" : "0") + kCRLF;
        else
            text = "strAction=LINK" + kCRLF;
        QByteArray answer;
        m_socket->Request(5, text + tail(), &answer, true, false);
        m_lastErrorCode = replyField(answer, "strErrorCode").toInt();
        m_returnedData = replyField(answer, "strData");
        return upperAscii(replyField(answer, "strResult")).contains("SUCCESS");
    } catch (const std::exception& e) {
        ReportDeviceFault(QStringLiteral("Error - Com Link"), ExceptionText(e));
        return false;
    }
}

bool TDeviceCom::ConnectDirect(const QString& address, int port) {
    m_direct = 1;
    int code = 0;
    const bool ok = m_socket->Connect(address, port, false, &code);
    if (!ok)
        m_lastErrorCode = code;
    return ok;
}

bool TDeviceCom::Transaction(int command, const QByteArray& data, QByteArray& elevator,
                             QByteArray& track2, QByteArray& variableInfo, QByteArray& addlInfo,
                             QByteArray& answer, int delay) {
    const int expected = ExpectedResponse_int(command);
    if (m_direct != 1) {
        try {
            const QByteArray text = "strAction=DEVICETRANSACTION" + kCRLF + "bytCommand=" +
                                    QByteArray::number(command) + kCRLF + "intResponse=" +
                                    QByteArray::number(expected) + kCRLF + "strData=" + data + kCRLF +
                                    "strAddlInfo=" + addlInfo + kCRLF + "strVariableInfo=" +
                                    variableInfo + kCRLF + "strTrack2=" + track2 + kCRLF +
                                    "strElevator=" + elevator + kCRLF + "intDelay=" +
                                    QByteArray::number(delay) + kCRLF + tail();
            QByteArray reply;
            m_socket->Request(delay < 1 ? 0 : delay, text, &reply, true, false);
            if (delay < 1)
                return true;
            answer = replyField(reply, "strRecv");
            addlInfo = replyField(reply, "strAddlInfo");
            variableInfo = replyField(reply, "strVariableInfo");
            track2 = replyField(reply, "strTrack2");
            elevator = replyField(reply, "strElevator");
            const QByteArray code = replyField(reply, "strErrorCode");
            if (!code.isEmpty())
                m_lastErrorCode = code.toInt();
            return upperAscii(replyField(reply, "strResult")).contains("SUCCESS");
        } catch (const std::exception& e) {
            ReportDeviceFault(QStringLiteral("Error - VRQ Transaction"), ExceptionText(e));
            return false;
        }
    }
    try {
        answer.clear();
        if (m_interfaceType == 4) {
            if (command == 1) {
                answer = "320010010000000BFEA0001127A11127A1";
            } else if (command == 36) {
                try {
                    const TKeyStringParts parts = KeyStringParser ? KeyStringParser(data) : TKeyStringParts{};
                    const QByteArray request = DatacardRequest(parts);
                    TraceLine(QStringLiteral("strDataCardRequest=") + QString::fromLocal8Bit(request));
                    if (m_socket->Connected()) {
                        m_socket->Send(request);
                        answer = "39001001000";
                    }
                } catch (const std::exception& e) {
                    ReportDeviceFault(QStringLiteral("Error - DataCard Request Send"), ExceptionText(e));
                    answer.clear();
                }
            }
        } else {
            const QByteArray text = hex2(command) + "000000000" + data;
            m_socket->Request(delay < 1 ? 0 : delay, text, &answer, true, true);
        }
        if (delay == 0)
            return true;
        if (answer.size() > 1)
            answer = STX + answer + ETX;
        else
            return false;
        const int code = hexValue(answer.mid(1, 2));
        if (code == 0x41 && answer.size() < 17)
            return false;
        return code == expected || expected < 0;
    } catch (const std::exception& e) {
        ReportDeviceFault(QStringLiteral("Error - TCP Transaction"), ExceptionText(e));
        return false;
    }
}

bool TDeviceCom::StatusGet(TDeviceStatus& status) {
    status = TDeviceStatus{};
    try {
        QByteArray e, t2, v, a, answer;
        const bool ok = Transaction(1, {}, e, t2, v, a, answer, 8) && DeviceStatusFill(answer, status);
        if (ok && m_interfaceType == 3)
            status.bLateVersion = true;
        return ok;
    } catch (const std::exception& ex) {
        ReportDeviceFault(QStringLiteral("Error - Device Status Get"), ExceptionText(ex));
        return false;
    }
}

bool TDeviceCom::serverQuery(const QByteArray& action, char c, int delay, QByteArray* recv) {
    const QByteArray text = "strAction=" + action + kCRLF + "bytCommand=0" + kCRLF + "intResponse=0" +
                            kCRLF + "strData=" + (c ? QByteArray(1, c) : QByteArray()) + kCRLF +
                            "strAddlInfo=" + kCRLF + "strVariableInfo=" + kCRLF + "strTrack2=" + kCRLF +
                            "strElevator=" + kCRLF + "intDelay=" + QByteArray::number(delay) + kCRLF +
                            tail();
    QByteArray reply;
    m_socket->Request(delay, text, &reply, true, false);
    if (recv)
        *recv = replyField(reply, "strRecv");
    return upperAscii(replyField(reply, "strResult")).contains("SUCCESS");
}

void TDeviceCom::ThreadTypeSet(char c) { serverQuery("THREADTYPESET", c, 0, nullptr); }

int TDeviceCom::ThreadTypeCount(char c) {
    QByteArray recv;
    if (!serverQuery("THREADTYPECOUNT", c, 2, &recv))
        return -1;
    bool ok = false;
    const int n = recv.trimmed().toInt(&ok);
    return ok ? n : -1;
}

bool TDeviceCom::DateTimeGet(TDateTime& dt) {
    if (!Link(false))
        return false;
    QByteArray recv;
    serverQuery("DATETIMEREQUEST", 0, 2, &recv);
    if (recv.trimmed().isEmpty())
        return false;
    return LPIStrToDateTime(QString::fromLatin1(recv), &dt);
}

bool TDeviceCom::DbFlagStatus(bool& set) {
    if (!Link(false))
        return false;
    QByteArray recv;
    const bool ok = serverQuery("DBFLAGSTATUS", 0, 2, &recv);
    set = upperAscii(recv) == "DBFLAG_SET";
    return ok;
}

TLogonCom::TLogonCom(QString stationID, IStationDirectory* directory)
    : TDeviceCom(0, directory, std::move(stationID)) {
    m_socket->BeaconRequestText = "BEACONREQUEST";
    m_socket->BeaconReplyText = "BEACONREPLY";
}

bool TLogonCom::LogonLink() {
    if (!Link(false))
        return false;
    ThreadTypeSet('L');
    return true;
}
