// Windows: Ctrl+C and its relatives come through a console control handler, not signals.
// Until that handler is in place, no interrupt is caught here and Ctrl+C ends the process the
// way Windows ends it.

#include "tools/velor-cli/Interrupt.h"

namespace velor::cli {

InterruptNotifier& installInterruptHandler() {
    static InterruptNotifier* notifier = new InterruptNotifier();
    return *notifier;
}

}  // namespace velor::cli
