// The tests load effects through our host's callback, with a host identity of their own.
#pragma once

#include "host/host_callback.h"

using namespace kel::host;

// Back to a plain host: version 2400, vendor "Test Vendor", product "Test Host", nothing recorded.
inline void resetTestHost() {
    hostState() = HostState{};
    hostState().identity.vendor = "Test Vendor";
    hostState().identity.product = "Test Host";
}
