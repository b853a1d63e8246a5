// Interface type 3: the contactless encoder driver of this connection.
#include "unitContactless.h"
#include "unitDeviceTransaction.h"
#include "unitRFID.h"

TDeviceSession::~TDeviceSession() = default;

bool TDeviceSession::ContactlessComInit(int portNumber) {
    if (!m_prox)
        m_prox = std::make_unique<TACR_PROX>();
    return ::ContactlessComInit(*m_prox, portNumber, m_error);
}

bool TDeviceSession::ContactlessDeviceTransaction(TDeviceTransactionData& t, QByteArray& answer) {
    if (!m_prox)
        m_prox = std::make_unique<TACR_PROX>();
    return ContactlessTransaction(*m_prox, t.command, t.data, t.addlInfo, t.variableInfo, t.track2,
                                  t.elevator, answer, m_error, m_escape);
}
