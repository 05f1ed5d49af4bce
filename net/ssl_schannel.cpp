// The Windows product's working plug-in.
#include "net/ssl_stream.h"

namespace vlt::net {

const TSSLClass SystemSecurityPlugin = &TSSLSChannel::Create;

}  // namespace vlt::net
