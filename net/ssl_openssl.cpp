// The native build's working plug-in.
#include "net/ssl_stream.h"

namespace vlt::net {

const TSSLClass SystemSecurityPlugin = &TSSLOpenSSL::Create;

}  // namespace vlt::net
