#include "unitStationProtocol.h"

namespace StationProtocol {

namespace {
char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}
} // namespace

QByteArray ExtractBody(const QByteArray& block) {
    const qsizetype stx = block.indexOf(STX);
    const qsizetype begin = stx >= 0 ? stx + 1 : 0;
    qsizetype end = block.indexOf(ETX, begin);
    if (end < 0)
        end = block.size();
    const qsizetype nul = block.indexOf('\0', begin);
    if (nul >= 0 && nul < end)
        end = nul;
    // A copy of the body alone: what surrounds it in the block is not kept alive with it.
    return end - begin == block.size() ? block : QByteArray(block.constData() + begin, end - begin);
}

QByteArrayList SplitLines(const QByteArray& body) {
    QByteArrayList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= body.size(); ++i) {
        if (i == body.size() || body[i] == '\r' || body[i] == '\n') {
            if (i > start)
                lines.append(body.mid(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

QByteArray AsciiUpper(const QByteArray& text) {
    QByteArray u = text;
    for (char& c : u)
        c = asciiUpper(c);
    return u;
}

namespace {
bool asciiEqualNoCase(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiUpper(a[i]) != asciiUpper(b[i]))
            return false;
    return true;
}
} // namespace

TStationMessage::TStationMessage(QByteArray body)
    : m_body(std::move(body)), m_action(AsciiUpper(Field("strAction"))) {}

QByteArrayList TStationMessage::Lines() const {
    return SplitLines(m_body);
}

// Scans the body in place: a request of many short lines costs no more memory than its bytes.
QByteArray TStationMessage::Field(const QByteArray& name, bool* found) const {
    const QByteArrayView body(m_body);
    const qsizetype n = body.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && body[i] != '\r' && body[i] != '\n')
            continue;
        if (i > start) {
            const QByteArrayView line = body.sliced(start, i - start);
            const qsizetype eq = line.indexOf('=');
            if (eq >= 0 && asciiEqualNoCase(line.first(eq), name)) {
                if (found)
                    *found = true;
                return line.sliced(eq + 1).toByteArray();
            }
        }
        start = i + 1;
    }
    if (found)
        *found = false;
    return {};
}

int64_t TStationMessage::IntField64(const QByteArray& name, int64_t def) const {
    bool ok = false;
    const int64_t v = Field(name).trimmed().toLongLong(&ok, 10);
    return ok ? v : def;
}

int TStationMessage::IntField(const QByteArray& name, int def) const {
    bool ok = false;
    const int v = Field(name).trimmed().toInt(&ok, 10);
    return ok ? v : def;
}

TMessageKind Classify(const QByteArray& body) {
    if (body == "BEACONREPLY")
        return TMessageKind::BeaconReply;
    if (body == "BEACONREQUEST")
        return TMessageKind::BeaconRequest;
    if (body.startsWith("GOLISTEN"))
        return TMessageKind::GoListen;
    if (body.startsWith("GOPARTIALDEAF"))
        return TMessageKind::GoPartialDeaf;
    return TMessageKind::Action;
}

TRunKind RunKind(const TStationMessage& msg) {
    switch (Classify(msg.Body())) {
    case TMessageKind::BeaconReply:
        return TRunKind::SetsAFlag;
    case TMessageKind::BeaconRequest:
        return TRunKind::NeverWaits;
    case TMessageKind::GoListen:
    case TMessageKind::GoPartialDeaf:
        return TRunKind::MayWait;
    case TMessageKind::Action:
        break;
    }
    const QByteArray& action = msg.Action();
    if (action == "ESCAPEFLAGSET")
        return TRunKind::SetsAFlag;
    static const QByteArrayList neverWaits = {"LINK",           "DATETIMEREQUEST", "DBFLAGSTATUS",
                                              "DBFLAGREQUEST",  "DBFLAGCLEAR",     "THREADTYPESET",
                                              "THREADTYPECOUNT"};
    return neverWaits.contains(action) ? TRunKind::NeverWaits : TRunKind::MayWait;
}

TReply::TReply(const QByteArray& action) {
    m_lines.append("strAction=" + action);
}

TReply& TReply::Add(const QByteArray& name, const QByteArray& value) {
    m_lines.append(name + '=' + value);
    return *this;
}

TReply& TReply::AddLine(const QByteArray& line) {
    m_lines.append(line);
    return *this;
}

QByteArray TReply::Frame() const {
    QByteArray out;
    out.append(STX);
    for (const QByteArray& l : m_lines)
        out.append(l).append(CRLF);
    out.append(ETX);
    return out;
}

QByteArray FrameBare(const QByteArray& keyword) {
    return STX + keyword + ETX;
}

QByteArray Greeting(const QByteArray& computerName) {
    return "CHN=" + computerName;
}

QByteArrayList TBlockAssembler::Feed(const QByteArray& block, int64_t nowMs) {
    QByteArrayList out;
    if (!m_pending.isEmpty() && nowMs - m_pendingSinceMs > kPendingMs)
        m_pending.clear();
    if (m_pending.isEmpty()) {
        const qsizetype stx = block.indexOf(STX);
        if (stx >= 0 && block.indexOf(ETX, stx + 1) < 0) {
            m_pending = block.mid(stx).left(kMaxPending);
            m_pendingSinceMs = nowMs;
            return out;
        }
        out.append(block);
        return out;
    }
    m_pending.append(block);
    const qsizetype etx = m_pending.indexOf(ETX);
    if (etx >= 0) {
        out.append(m_pending);
        m_pending.clear();
    } else if (m_pending.size() > kMaxPending) {
        m_pending.clear();
    }
    return out;
}

} // namespace StationProtocol
