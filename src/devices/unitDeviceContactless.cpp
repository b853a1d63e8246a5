// Interface type 3 until the contactless driver is in: nothing opens and nothing is answered.
#include "unitDeviceTransaction.h"

bool TDeviceSession::ContactlessComInit(int /*portNumber*/) {
    return false;
}

bool TDeviceSession::ContactlessDeviceTransaction(TDeviceTransactionData& /*t*/,
                                                  QByteArray& answer) {
    answer.clear();
    return false;
}
