<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Resource</name>
    <message>
        <location filename="../src/ui/formUlmexMsg.cpp" line="257"/>
        <location filename="../src/ui/formUlmexMsg.cpp" line="277"/>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <location filename="../src/ui/formUlmexMsg.cpp" line="247"/>
        <location filename="../src/ui/formUlmexMsg.cpp" line="259"/>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="28"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="29"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="31"/>
        <source>&amp;Yes</source>
        <translation>&amp;Ja</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="32"/>
        <source>&amp;No</source>
        <translation>&amp;Nein</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="35"/>
        <source>&amp;Retry</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="30"/>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="33"/>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="34"/>
        <source>Abort</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="36"/>
        <source>&amp;Ignore</source>
        <translation>&amp;Ignorieren</translation>
    </message>
    <message>
        <location filename="../src/ui/UlmexBitBtn.cpp" line="37"/>
        <source>&amp;All</source>
        <translation>&amp;Alle</translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="477"/>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="475"/>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="42"/>
        <source>THE OPERATION COULD NOT BE COMPLETED.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="44"/>
        <source>A STATION REQUEST COULD NOT BE COMPLETED.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="46"/>
        <source>THE TERMINAL HAS A PROBLEM WITH AN RS232 PORT.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="48"/>
        <source>THE ENCODER DID NOT ANSWER AS EXPECTED.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="49"/>
        <source>THE LOGON COULD NOT BE COMPLETED.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="51"/>
        <source>THE CONTACTLESS ENCODER REPORTED A PROBLEM WITH THE CARD.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="53"/>
        <source>A STATION OR COMPUTER RECORD COULD NOT BE READ OR SAVED.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="55"/>
        <source>THE KEY CARD COULD NOT BE MADE OR READ.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="57"/>
        <source>THE DATABASE COULD NOT BE READ OR UPDATED.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="59"/>
        <source>THE CARD PRINTER REPORTED A PROBLEM.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="61"/>
        <source>A RECORD COULD NOT BE READ OR SAVED.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="63"/>
        <source>AN INTERFACE REQUEST COULD NOT BE COMPLETED.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="64"/>
        <source>THE PROGRAM HAS A NOTICE FOR YOU.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="69"/>
        <source>The computer&apos;s Date and Time is different than the Halvex System.%0:sYour computer&apos;s Date and Time is %1:s.%0:sHalvex System&apos;s Date and Time is %2:s.%0:s%0:sIF YOUR DATE OR TIME IS WRONG, YOU MUST CORRECT OR THE KEY(S) MAY NOT WORK IN THE LOCK(S)!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="79"/>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="127"/>
        <source>ERROR STATION PROBLEM %1:d - STATION ID MISSING</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="81"/>
        <source>STATION ID %1:s IS NOT ASSIGNED TO A COMPUTER IN THE VRQ.%0:s%0:sYou cannot continue until it is added.%0:s%0:sAt the Halvex Server computer, sign onto the VRQ%0:sand add a Station ID = TIME and port = 100.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="88"/>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="138"/>
        <source>ERROR STATION PROBLEM %d - CANNOT FIND HOST</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="90"/>
        <source>TRIED TO ACCESS STATION ID %1:s AT COMPUTER NAME %2:s IN THE VRQ.%0:s%0:sThis computers IP address has changed%0:sor the computer is not running the VRQ program.%0:s%0:sYou cannot continue until it is accessible.%0:s%0:sMake sure the VRQ program is running %0:sbefore trying again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="101"/>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="109"/>
        <source>THE DATABASE FILES ARE IN THE PROCESS OF BEING CHANGED OR COMPACTED.%0:s%0:sYou cannot continue until they are accessible.%0:s%0:sTry again after the process is completed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="117"/>
        <source>THE MAXIMUM # OF USERS (%1:s) ARE ALREADY LOGGED ON.%0:s%0:sYou cannot log on until someone else logs off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="129"/>
        <source>STATION ID %1:s IS NOT ASSIGNED TO A COMPUTER IN THE VRQ.%0:s%0:sSelect a Station ID in the VRQ list using%0:sthe system tab and terminal settings button.%0:s%0:sIf your computer has an encoder or hand-held connected and%0:sis not listed, it must be added using the VRQ program.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="140"/>
        <source>TRIED TO ACCESS STATION ID %1:s AT COMPUTER NAME %2:s IN THE VRQ.%0:s%0:sThis computers IP address has changed%0:sor the computer is not running the VRQ program.%0:s%0:sSelect a Station ID in the VRQ list using%0:sthe system tab and terminal settings button.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="150"/>
        <source>ERROR STATION PROBLEM %d - HOST NAME DID NOT MATCH</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="152"/>
        <source>STATION ID %1:s IS NO LONGER ASSIGNED TO COMPUTER NAME %2:s%0:sBUT IS ASSIGNED TO COMPUTER NAME %3:s IN THE VRQ.%0:s%0:sOpen your VRQ program and press the Refresh button%0:sthen minimize again.%0:s%0:sSelect a Station ID in the VRQ list using%0:sthe system tab and terminal settings button.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="161"/>
        <source>ERROR - RS232 PORT PROBLEM </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="163"/>
        <source>THE TERMINAL HAS A PROBLEM ACCESSING COM PORT %1:s%0:sASSIGNED TO THE %2:s.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="165"/>
        <source>Before trying again:%0:s- Check your terminal COM port assignment.%0:s- Disconnect the device connected to the COM port.%0:s- Connect the %1:s to the COM port.%0:s%0:sIf this does not resolve the problem,%0:syou may need to reboot your computer%0:sor you may have a computer hardware problem.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="177"/>
        <source>WARNING - RS232 PORT PROBLEM </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="179"/>
        <source>THE STATION %1:s ASSIGNED TO THE %2:s%0:sIS BUSY WITH A REQUEST FROM ANOTHER TERMINAL%0:sOR HAS ANOTHER DEVICE CONNECTED AND IN USE.%0:s%0:sIf your system is interfaced to a PMS and another%0:sregistration terminal is trying to make keys at the station,%0:sselect CANCEL and wait until they are done or use another station.%0:s%0:sOtherwise, select RETRY to try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="187"/>
        <source>If this problem continues:%0:s- Check your terminal COM port assignment.%0:s- Disconnect the device connected to the COM port.%0:s- Connect the %1:s to the COM port.%0:s%0:sIf this does not resolve the problem,%0:syou may need to reboot your computer%0:sor you may have a computer hardware problem.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="200"/>
        <source>THIS GUEST HAS A PREREG RESERVATION%0:sAND IS NOT CHECKED IN YET.%0:s%0:sDO YOU WISH TO START THE CHECK IN PROCESS?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="476"/>
        <source>Message</source>
        <translation>Meldung</translation>
    </message>
    <message>
        <location filename="../src/ui/formBase.cpp" line="91"/>
        <source>Edit Form</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <location filename="../src/ui/formVersions.cpp" line="77"/>
        <source>Minimum</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/formVersions.cpp" line="79"/>
        <source>Actual</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/ui/formVersions.cpp" line="154"/>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <location filename="../src/ui/formUlmexAbout.cpp" line="51"/>
        <location filename="../src/ui/formUlmexAbout.cpp" line="117"/>
        <location filename="../src/ui/formVersions.cpp" line="156"/>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <location filename="../src/ui/formVersions.cpp" line="157"/>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <location filename="../src/ui/formUlmexAbout.cpp" line="126"/>
        <source>GUI</source>
        <translation>GUI</translation>
    </message>
    <message>
        <location filename="../src/ui/formUlmexAbout.cpp" line="72"/>
        <source>Service:</source>
        <translation>Dienst:</translation>
    </message>
    <message>
        <location filename="../src/ui/formVersions.cpp" line="66"/>
        <source>Program Information</source>
        <translation>Programminformation</translation>
    </message>
    <message>
        <location filename="../src/ui/unitMsgCatalog.cpp" line="122"/>
        <source>YOU ARE NO LONGER LOGGED ON.%0:s%0:sPlease try logging on again.</source>
        <translation>SIE SIND NICHT MEHR ANGEMELDET.%0:s%0:sBitte melden Sie sich erneut an.</translation>
    </message>
    <message>
        <location filename="../src/devices/client/unitDeviceCom.cpp" line="219"/>
        <location filename="../src/devices/unitLPIClass.cpp" line="79"/>
        <location filename="../src/server/untComThread.cpp" line="54"/>
        <source>Unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/devices/client/unitSocketWrapper.cpp" line="94"/>
        <source>Failed to access the server socket at IP Address %1:s%0:sdue to error code %2:s.%0:sEither the IP address is invalid or%0:sthe server socket program is not running.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../src/server/unitVRQMain.cpp" line="25"/>
        <source>%s: An error occurred: </source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
