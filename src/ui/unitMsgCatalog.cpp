// The numbered message catalogue and the field markers its texts use.

#include "UlmexMsgBox.h"
#include "unitTrace.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegularExpression>
#include <algorithm>

namespace {

QString res(const char* text) {
    return QCoreApplication::translate("Resource", text);
}

const QString kCRLF = QStringLiteral("\r\n");

enum TMsgKind {
    mkError,    // "ERROR n"
    mkWarning,  // "WARNING n"
    mkMessage,  // "MESSAGE n"
    mkOwnTitle, // the entry's title, with "%1:d" / "%d" replaced by n, else n appended
    mkFields    // message 0: title and texts are the caller's fields 0, 1 and 2
};

// In the texts "%0:s" is a line break and "%k:s" (k >= 1) the caller's field base + k - 1.
struct TMsgCatalogEntry {
    int number;
    TMsgKind kind;
    const char* title;
    TUlmexIconType icon;
    TUlmexButtonsType buttons;
    const char* centred;
    const char* left;
    int leftFieldBase;
    bool fieldsAsDetail; // left text = the caller's non-blank fields, one a line
};

// Texts of the entries whose wording is ours: what the number is about.
const char* const kAboutGeneral =
    QT_TRANSLATE_NOOP("Resource", "THE OPERATION COULD NOT BE COMPLETED.");
const char* const kAboutStation =
    QT_TRANSLATE_NOOP("Resource", "A STATION REQUEST COULD NOT BE COMPLETED.");
const char* const kAboutComPort =
    QT_TRANSLATE_NOOP("Resource", "THE TERMINAL HAS A PROBLEM WITH AN RS232 PORT.");
const char* const kAboutEncoder =
    QT_TRANSLATE_NOOP("Resource", "THE ENCODER DID NOT ANSWER AS EXPECTED.");
const char* const kAboutLogon = QT_TRANSLATE_NOOP("Resource", "THE LOGON COULD NOT BE COMPLETED.");
const char* const kAboutContactless =
    QT_TRANSLATE_NOOP("Resource", "THE CONTACTLESS ENCODER REPORTED A PROBLEM WITH THE CARD.");
const char* const kAboutStationRecord =
    QT_TRANSLATE_NOOP("Resource", "A STATION OR COMPUTER RECORD COULD NOT BE READ OR SAVED.");
const char* const kAboutKeyCard =
    QT_TRANSLATE_NOOP("Resource", "THE KEY CARD COULD NOT BE MADE OR READ.");
const char* const kAboutDatabase =
    QT_TRANSLATE_NOOP("Resource", "THE DATABASE COULD NOT BE READ OR UPDATED.");
const char* const kAboutPrinter =
    QT_TRANSLATE_NOOP("Resource", "THE CARD PRINTER REPORTED A PROBLEM.");
const char* const kAboutRecord =
    QT_TRANSLATE_NOOP("Resource", "A RECORD COULD NOT BE READ OR SAVED.");
const char* const kAboutInterface =
    QT_TRANSLATE_NOOP("Resource", "AN INTERFACE REQUEST COULD NOT BE COMPLETED.");
const char* const kAboutNotice = QT_TRANSLATE_NOOP("Resource", "THE PROGRAM HAS A NOTICE FOR YOU.");

const TMsgCatalogEntry kCatalogue[] = {
    {0, mkFields, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, nullptr, nullptr, 0, false},
    {8, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK,
     QT_TRANSLATE_NOOP("Resource",
                       "The computer's Date and Time is different than the Halvex System.%0:s"
                       "Your computer's Date and Time is %1:s."
                       "%0:s"
                       "Halvex System's Date and Time is %2:s."
                       "%0:s%0:s"
                       "IF YOUR DATE OR TIME IS WRONG, YOU MUST CORRECT OR THE KEY(S) MAY NOT WORK "
                       "IN THE LOCK(S)!"),
     nullptr, 0, false},
    {10, mkOwnTitle,
     QT_TRANSLATE_NOOP("Resource", "ERROR STATION PROBLEM %1:d - STATION ID MISSING"),
     UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP("Resource", "STATION ID %1:s IS NOT ASSIGNED TO A COMPUTER IN THE VRQ."
                                   "%0:s%0:s"
                                   "You cannot continue until it is added."
                                   "%0:s%0:s"
                                   "At the Halvex Server computer, sign onto the VRQ%0:sand add a "
                                   "Station ID = TIME and port = 100."),
     nullptr, 0, false},
    {11, mkOwnTitle, QT_TRANSLATE_NOOP("Resource", "ERROR STATION PROBLEM %d - CANNOT FIND HOST"),
     UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP(
         "Resource",
         "TRIED TO ACCESS STATION ID %1:s AT COMPUTER NAME %2:s IN THE VRQ."
         "%0:s%0:s"
         "This computers IP address has changed%0:sor the computer is not running the VRQ program."
         "%0:s%0:s"
         "You cannot continue until it is accessible."
         "%0:s%0:s"
         "Make sure the VRQ program is running %0:sbefore trying again."),
     nullptr, 0, false},
    {12, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP("Resource",
                       "THE DATABASE FILES ARE IN THE PROCESS OF BEING CHANGED OR COMPACTED."
                       "%0:s%0:s"
                       "You cannot continue until they are accessible."
                       "%0:s%0:s"
                       "Try again after the process is completed."),
     nullptr, 0, false},
    {-12, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP("Resource",
                       "THE DATABASE FILES ARE IN THE PROCESS OF BEING CHANGED OR COMPACTED."
                       "%0:s%0:s"
                       "You cannot continue until they are accessible."
                       "%0:s%0:s"
                       "Try again after the process is completed."),
     nullptr, 0, false},
    {13, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP("Resource", "THE MAXIMUM # OF USERS (%1:s) ARE ALREADY LOGGED ON."
                                   "%0:s%0:s"
                                   "You cannot log on until someone else logs off."),
     nullptr, 0, false},
    {14, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP("Resource", "YOU ARE NO LONGER LOGGED ON."
                                   "%0:s%0:s"
                                   "Please try logging on again."),
     nullptr, 0, false},
    {161, mkOwnTitle,
     QT_TRANSLATE_NOOP("Resource", "ERROR STATION PROBLEM %1:d - STATION ID MISSING"),
     UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP(
         "Resource",
         "STATION ID %1:s IS NOT ASSIGNED TO A COMPUTER IN THE VRQ."
         "%0:s%0:s"
         "Select a Station ID in the VRQ list using%0:sthe system tab and terminal settings button."
         "%0:s%0:s"
         "If your computer has an encoder or hand-held connected and%0:sis not listed, it must be "
         "added using the VRQ program."),
     nullptr, 0, false},
    {162, mkOwnTitle, QT_TRANSLATE_NOOP("Resource", "ERROR STATION PROBLEM %d - CANNOT FIND HOST"),
     UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP(
         "Resource",
         "TRIED TO ACCESS STATION ID %1:s AT COMPUTER NAME %2:s IN THE VRQ."
         "%0:s%0:s"
         "This computers IP address has changed%0:sor the computer is not running the VRQ program."
         "%0:s%0:s"
         "Select a Station ID in the VRQ list using%0:sthe system tab and terminal settings "
         "button."),
     nullptr, 0, false},
    {163, mkOwnTitle,
     QT_TRANSLATE_NOOP("Resource", "ERROR STATION PROBLEM %d - HOST NAME DID NOT MATCH"),
     UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP("Resource",
                       "STATION ID %1:s IS NO LONGER ASSIGNED TO COMPUTER NAME %2:s%0:sBUT IS "
                       "ASSIGNED TO COMPUTER NAME %3:s IN THE VRQ."
                       "%0:s%0:s"
                       "Open your VRQ program and press the Refresh button%0:sthen minimize again."
                       "%0:s%0:s"
                       "Select a Station ID in the VRQ list using%0:sthe system tab and terminal "
                       "settings button."),
     nullptr, 0, false},
    {184, mkOwnTitle, QT_TRANSLATE_NOOP("Resource", "ERROR - RS232 PORT PROBLEM "),
     UlmexMB_ICONERROR, UlmexMB_OK,
     QT_TRANSLATE_NOOP(
         "Resource", "THE TERMINAL HAS A PROBLEM ACCESSING COM PORT %1:s%0:sASSIGNED TO THE %2:s."),
     QT_TRANSLATE_NOOP("Resource",
                       "Before trying again:"
                       "%0:s"
                       "- Check your terminal COM port assignment."
                       "%0:s"
                       "- Disconnect the device connected to the COM port."
                       "%0:s"
                       "- Connect the %1:s to the COM port."
                       "%0:s%0:s"
                       "If this does not resolve the problem,%0:syou may need to reboot your "
                       "computer%0:sor you may have a computer hardware problem."),
     2, false},
    {198, mkOwnTitle, QT_TRANSLATE_NOOP("Resource", "WARNING - RS232 PORT PROBLEM "),
     UlmexMB_IconExclamation, UlmexMB_RetryCancel,
     QT_TRANSLATE_NOOP(
         "Resource",
         "THE STATION %1:s ASSIGNED TO THE %2:s%0:sIS BUSY WITH A REQUEST FROM ANOTHER "
         "TERMINAL%0:sOR HAS ANOTHER DEVICE CONNECTED AND IN USE."
         "%0:s%0:s"
         "If your system is interfaced to a PMS and another%0:sregistration terminal is trying to "
         "make keys at the station,%0:sselect CANCEL and wait until they are done or use another "
         "station.%0:s%0:sOtherwise, select RETRY to try again."),
     QT_TRANSLATE_NOOP("Resource",
                       "If this problem continues:"
                       "%0:s"
                       "- Check your terminal COM port assignment."
                       "%0:s"
                       "- Disconnect the device connected to the COM port."
                       "%0:s"
                       "- Connect the %1:s to the COM port."
                       "%0:s%0:s"
                       "If this does not resolve the problem,%0:syou may need to reboot your "
                       "computer%0:sor you may have a computer hardware problem."),
     2, false},
    {89250, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_YesNo,
     QT_TRANSLATE_NOOP("Resource",
                       "THIS GUEST HAS A PREREG RESERVATION%0:sAND IS NOT CHECKED IN YET."
                       "%0:s%0:s"
                       "DO YOU WISH TO START THE CHECK IN PROCESS?"),
     nullptr, 0, false},
    // Entries whose wording is ours.
    {9, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {22, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {31, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {48, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {49, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {50, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {51, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {52, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {53, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {60, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {70, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {100, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {101, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {105, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {106, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {107, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {111, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {112, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {113, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {114, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {115, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {116, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {117, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {118, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {119, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {120, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {123, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStation, nullptr, 0, true},
    {183, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {185, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {186, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {187, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {188, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {190, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {191, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {192, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {193, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {194, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {195, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {196, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {197, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {199, mkWarning, nullptr, UlmexMB_IconExclamation, UlmexMB_OK, kAboutComPort, nullptr, 0, true},
    {203, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutEncoder, nullptr, 0, true},
    {204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutEncoder, nullptr, 0, true},
    {401, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutLogon, nullptr, 0, true},
    {402, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutLogon, nullptr, 0, true},
    {403, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutLogon, nullptr, 0, true},
    {451, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {452, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {453, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {454, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {455, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {456, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {457, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {458, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {459, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {460, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {461, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {462, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {463, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {464, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {465, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {466, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutContactless, nullptr, 0, true},
    {1204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1205, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1206, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1207, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1208, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1209, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1210, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1215, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1218, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1221, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1223, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1224, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1225, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1226, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1227, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1228, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1229, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1230, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1231, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1232, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1233, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {1250, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutStationRecord, nullptr, 0, true},
    {2204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {2219, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {2221, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {2228, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {2232, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {2233, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {2234, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {3200, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3201, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3202, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3203, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3205, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3206, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3207, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3208, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3209, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3210, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3211, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3212, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3213, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3216, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3217, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3223, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3224, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3225, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3228, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3229, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3230, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3231, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3236, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3237, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3238, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3302, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3303, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3304, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {3305, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutKeyCard, nullptr, 0, true},
    {4204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {4205, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {4207, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {4208, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {4209, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {4213, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {5201, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5202, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5203, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5205, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5206, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5207, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5208, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5210, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5211, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5212, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5213, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5214, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5216, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5217, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5228, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5229, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5230, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5231, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5250, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5251, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5252, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5302, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5303, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {5305, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutDatabase, nullptr, 0, true},
    {6001, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutGeneral, nullptr, 0, true},
    {9200, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9207, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9208, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9214, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9229, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9230, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9231, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9250, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9302, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9303, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {9305, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutPrinter, nullptr, 0, true},
    {14204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14206, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14207, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14208, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14209, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14210, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14212, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14214, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14223, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14225, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14228, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14229, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14238, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14252, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14255, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14302, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {14303, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15206, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15207, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15208, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15209, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15210, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15212, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15223, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15224, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15225, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15226, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15227, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15254, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15255, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15302, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {15303, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {17204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {17205, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {18204, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {18205, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutRecord, nullptr, 0, true},
    {36025, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {36200, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {36201, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {36202, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {51202, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {51216, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {51221, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {54200, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {54219, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {54221, mkError, nullptr, UlmexMB_ICONERROR, UlmexMB_OK, kAboutInterface, nullptr, 0, true},
    {60022, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60023, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60025, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60030, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60040, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60043, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60044, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60184, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutComPort, nullptr, 0,
     true},
    {60186, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutComPort, nullptr, 0,
     true},
    {60188, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutComPort, nullptr, 0,
     true},
    {60200, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60205, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60206, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60207, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60208, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60212, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60213, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60214, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60215, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {60216, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {61230, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {71205, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
    {71206, mkMessage, nullptr, UlmexMB_IconInformation, UlmexMB_OK, kAboutNotice, nullptr, 0,
     true},
};

const TMsgCatalogEntry* FindEntry(int number) {
    const auto* end = std::end(kCatalogue);
    const auto* it = std::find_if(std::begin(kCatalogue), end, [number](const TMsgCatalogEntry& e) {
        return e.number == number;
    });
    return it == end ? nullptr : it;
}

QString KindTitle(TMsgKind kind, int number) {
    const char* word = kind == mkWarning   ? QT_TRANSLATE_NOOP("Resource", "Warning")
                       : kind == mkMessage ? QT_TRANSLATE_NOOP("Resource", "Message")
                                           : QT_TRANSLATE_NOOP("Resource", "Error");
    return res(word).toUpper() + u' ' + QString::number(number);
}

QString OwnTitle(const char* title, int number) {
    QString t = res(title);
    const QString n = QString::number(number);
    if (t.contains(QLatin1String("%1:d")))
        return t.replace(QLatin1String("%1:d"), n);
    if (t.contains(QLatin1String("%d")))
        return t.replace(QLatin1String("%d"), n);
    return t + n;
}

// Leading CR LF removed, any "%0:s" left becomes CR LF.
QString Finish(QString text) {
    if (text.startsWith(kCRLF))
        text.remove(0, 2);
    return text.replace(QLatin1String("%0:s"), kCRLF);
}

QString ComposeText(const char* source, const QStringList& fields, int fieldBase) {
    if (!source)
        return {};
    static const QRegularExpression placeholder(QStringLiteral("%(\\d+):s"));
    const QString text = res(source);
    QString marked;
    qsizetype pos = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const int k = m.captured(1).toInt();
        marked += text.mid(pos, m.capturedStart() - pos);
        marked += k == 0 ? m.captured(0) : MsgFieldMarker(fieldBase + k - 1);
        pos = m.capturedEnd();
    }
    marked += text.mid(pos);
    return Finish(MsgInsertFields(marked, fields, int(fields.size()) - 1));
}

QString FieldsDetail(const QStringList& fields) {
    QStringList lines;
    for (const QString& f : fields) {
        if (!f.trimmed().isEmpty())
            lines << f.trimmed();
    }
    return lines.join(kCRLF);
}

} // namespace

QString MsgFieldMarker(int n) {
    return QChar(1) + QString::number(n) + u' ';
}

QString MsgInsertFields(const QString& text, const QStringList& fields, int highestIndex) {
    QString out;
    out.reserve(text.size());
    const qsizetype len = text.size();
    for (qsizetype i = 0; i < len; ++i) {
        if (text.at(i) != QChar(1)) {
            out += text.at(i);
            continue;
        }
        qsizetype j = i + 1;
        while (j < len && j - i <= 9 && text.at(j).isDigit())
            ++j;
        if (j == i + 1 || j >= len || text.at(j) != u' ') {
            out += QStringLiteral("[INSERT FIELD]");
            i = j - 1;
            continue;
        }
        const int n = text.mid(i + 1, j - i - 1).toInt();
        if (n > highestIndex || n >= fields.size()) {
            out += QStringLiteral("[INSERT FIELD ") + QString::number(n + 1) + u']';
        } else {
            const QString field = fields.at(n).trimmed();
            out += field.isEmpty() ? QStringLiteral("xxxxxxx") : field;
        }
        i = j;
    }
    return out;
}

QString MsgElement(const QList<int>& elements, int highestIndex, int elementNumber,
                   const QStringList& texts, int highestTextIndex) {
    QString result = QStringLiteral("[MSG ELEMENT ") + QString::number(elementNumber) + u']';
    if (elementNumber >= 0 && elementNumber <= highestIndex && elementNumber < elements.size()) {
        const int k = elements.at(elementNumber);
        if (k == 0)
            result.clear();
        else if (k >= 1 && k - 1 <= highestTextIndex && k - 1 < texts.size())
            result = texts.at(k - 1);
    }
    return result.isEmpty() ? result : kCRLF + result;
}

int MsgTextsBox(TUlmexIconType icon, const QStringList& texts, int highestIndex) {
    const auto text = [&](int i) { return i <= highestIndex ? texts.value(i) : QString(); };
    return UlmexMsgBox(text(0), text(1), text(2), false, 0, icon, Ulmex_DefaultButton1, UlmexMB_OK);
}

bool MsgCatalogCompose_b(int messageNumber, int timeOutSecs, const QStringList& fields,
                         TUlmexMsgArgs& args) {
    args = TUlmexMsgArgs();
    args.timeOutSecs = timeOutSecs;
    const TMsgCatalogEntry* e = FindEntry(messageNumber);
    if (!e) {
        args.title = QGuiApplication::applicationDisplayName();
        args.centredText = QStringLiteral("Ulmex Message Box");
        args.icon = UlmexMB_IconInformation;
        args.buttons = UlmexMB_OK;
        return false;
    }
    args.icon = e->icon;
    args.buttons = e->buttons;
    args.defaultButton = Ulmex_DefaultButton1;
    args.autoSizeWidth = false;
    if (e->kind == mkFields) {
        args.title = fields.value(0);
        args.centredText = Finish(fields.value(1));
        args.leftText = Finish(fields.value(2));
        return true;
    }
    args.title = e->kind == mkOwnTitle ? OwnTitle(e->title, messageNumber)
                                       : KindTitle(e->kind, messageNumber);
    args.centredText = ComposeText(e->centred, fields, 0);
    args.leftText =
        e->fieldsAsDetail ? FieldsDetail(fields) : ComposeText(e->left, fields, e->leftFieldBase);
    return true;
}

QList<int> MsgCatalogNumbers() {
    QList<int> numbers;
    for (const TMsgCatalogEntry& e : kCatalogue)
        numbers << e.number;
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

int MsgCatalogBox(int messageNumber, int timeOutSecs, const QStringList& fields) {
    DebugLog(QStringLiteral("toto") + QString::number(timeOutSecs));
    TUlmexMsgArgs args;
    MsgCatalogCompose_b(messageNumber, timeOutSecs, fields, args);
    DebugLog(QStringLiteral("toto call app log") + args.leftText);
    DebugLog(args.leftText);
    return UlmexMsgBox(args);
}
