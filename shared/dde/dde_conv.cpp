#include "shared/dde/dde_conv.h"

#include <cstring>
#include <memory>

#include "shared/dde/dde_server.h"

using namespace plat::dde;

CDDEConv::CDDEConv() = default;
CDDEConv::CDDEConv(CDDEServer* server) : m_pServer(server) {}
CDDEConv::CDDEConv(CDDEServer* server, HCONV conv, HSZ topic) : m_pServer(server), m_hConv(conv), m_hszTopic(topic) {}

CDDEConv::~CDDEConv() { Terminate(); }

bool CDDEConv::ConnectTo(const char* service, const char* topic) {
  if (m_pServer == nullptr) return false;
  CHSZ svc(m_pServer, service), top(m_pServer, topic);
  m_dwLastError = 0;
  m_hConv = DdeConnect(m_pServer->GetInstance(), svc, top, nullptr);
  if (m_hConv == 0) {
    m_dwLastError = DdeGetLastError(m_pServer->GetInstance());
    m_pServer->Status("Failed to connect to %s|%s. Error %u", service != nullptr ? service : "",
                      topic != nullptr ? topic : "", m_dwLastError);
    return false;
  }
  m_pServer->AddConversation(this);
  return true;
}

bool CDDEConv::Terminate() {
  if (m_hConv == 0) return false;
  // Clear the handle first, so that a Terminate from the destructor (when
  // leaving the list drops the last reference) finds nothing left to do, and
  // hold a reference while leaving the server's list.
  const HCONV conv = m_hConv;
  m_hConv = 0;
  DdeDisconnect(conv);
  if (m_pServer != nullptr && RefCount() > 0) {
    AddRef();
    m_pServer->Unlist(this);
    Release();  // may delete this object
  }
  return true;
}

bool CDDEConv::AdviseData(unsigned, const char*, const char*, const void*, uint32_t) { return false; }

HDDEDATA CDDEConv::Transact(const void* data, uint32_t size, const char* item, unsigned format, unsigned type) {
  if (m_hConv == 0 || m_pServer == nullptr) return nullptr;
  CHSZ hszItem;
  if (item != nullptr) hszItem.Create(m_pServer, item);
  return DdeClientTransaction(static_cast<LPBYTE>(const_cast<void*>(data)), size, m_hConv, hszItem, format, type,
                              m_dwTimeout, nullptr);
}

bool CDDEConv::Request(const char* item, void** data, uint32_t* size) {
  *data = nullptr;
  *size = 0;
  HDDEDATA h = Transact(nullptr, 0, item, CF_TEXT, XTYP_REQUEST);
  if (h == nullptr) return false;
  DWORD n = 0;
  const uint8_t* bytes = DdeAccessData(h, &n);
  auto* block = new uint8_t[n > 0 ? n : 1];
  if (n > 0) std::memcpy(block, bytes, n);
  DdeUnaccessData(h);
  DdeFreeDataHandle(h);  // the copy is the caller's; the handle is ours to free
  *data = block;
  *size = n;
  return true;
}

bool CDDEConv::Advise(const char* item) { return Transact(nullptr, 0, item, CF_TEXT, XTYP_ADVSTART) != nullptr; }

bool CDDEConv::Exec(const char* command) {
  const char* text = command != nullptr ? command : "";
  return Transact(text, static_cast<uint32_t>(std::strlen(text) + 1), nullptr, CF_TEXT, XTYP_EXECUTE) != nullptr;
}

bool CDDEConv::Poke(unsigned format, const char* item, const void* data, uint32_t size) {
  return Transact(data, size, item, format, XTYP_POKE) != nullptr;
}
