#include "shared/dde/dde_server.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace plat::dde;

namespace {

CDDEServer* g_server = nullptr;

const uint16_t kTextOnly[] = {CF_TEXT, 0};

bool sameText(const std::string& a, const char* b) {
  if (b == nullptr) return false;
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Hands out the buffer of one process-wide answer text.
bool answer(std::string& store, std::string text, void** data, uint32_t* size) {
  store = std::move(text);
  *data = store.data();
  *size = static_cast<uint32_t>(store.size() + 1);
  return true;
}

std::string formatName(uint16_t format) {
  static const char* const names[] = {"TEXT", "BITMAP", "METAFILEPICT", "SYLK", "DIF", "TIFF",
                                      "OEMTEXT", "DIB", "PALETTE", "PENDATA", "RIFF", "WAVE"};
  if (format >= 1 && format <= 12) return names[format - 1];
  return {};  // no registered clipboard formats here
}

}  // namespace

// ---- CHSZ ----

CHSZ::CHSZ(CDDEServer* server, const char* text) { Create(server, text); }

CHSZ::~CHSZ() {
  if (m_hsz != 0) DdeFreeStringHandle(m_dwInstance, m_hsz);
}

void CHSZ::Create(CDDEServer* server, const char* text) {
  if (m_hsz != 0) DdeFreeStringHandle(m_dwInstance, m_hsz);
  m_hsz = 0;
  m_dwInstance = server != nullptr ? server->GetInstance() : 0;
  m_hsz = DdeCreateStringHandleA(m_dwInstance, text, CP_WINANSI);
}

// ---- items ----

bool CDDEItem::Request(unsigned, void**, uint32_t*) { return false; }
bool CDDEItem::Poke(unsigned, const void*, uint32_t) { return false; }
const uint16_t* CDDEItem::GetFormatList() { return nullptr; }
bool CDDEItem::CanAdvise(unsigned format) { return IsSupportedFormat(format); }

bool CDDEItem::IsSupportedFormat(unsigned format) {
  const uint16_t* list = GetFormatList();
  if (list == nullptr) return false;
  for (; *list != 0; ++list)
    if (*list == static_cast<uint16_t>(format)) return true;
  return false;
}

bool CDDEItem::PostAdvise() { return m_pTopic != nullptr && m_pTopic->PostAdvise(this); }

bool CDDEStringItem::Request(unsigned, void** data, uint32_t* size) {
  *data = m_strData.data();
  *size = static_cast<uint32_t>(m_strData.size() + 1);
  return true;
}

bool CDDEStringItem::Poke(unsigned, const void* data, uint32_t size) {
  const char* text = static_cast<const char*>(data);
  const size_t n = text == nullptr ? 0 : strnlen(text, size);
  m_strData.assign(text == nullptr ? "" : text, n);
  OnPoke();
  return true;
}

const uint16_t* CDDEStringItem::GetFormatList() { return kTextOnly; }

bool CDDEStringItem::SetData(const char* text) {
  m_strData = text != nullptr ? text : "";
  return PostAdvise();
}

// ---- topics ----

bool CDDETopic::Request(unsigned format, const char* item, void** data, uint32_t* size) {
  CDDEItem* found = FindItem(item);
  if (found == nullptr) return false;
  if (auto* sys = dynamic_cast<CDDESystemItem*>(found)) return sys->RequestFor(this, format, data, size);
  return found->Request(format, data, size);
}

bool CDDETopic::Poke(unsigned format, const char* item, const void* data, uint32_t size) {
  CDDEItem* found = FindItem(item);
  return found != nullptr && found->Poke(format, data, size);
}

bool CDDETopic::Exec(const void*, uint32_t) { return false; }

CDDEItem* CDDETopic::FindItem(const char* name) {
  for (CDDEItem* item : m_ItemList)
    if (sameText(item->GetName(), name)) return item;
  return nullptr;
}

bool CDDETopic::CanAdvise(unsigned format, const char* item) {
  CDDEItem* found = FindItem(item);
  return found != nullptr && found->CanAdvise(format);
}

bool CDDETopic::AddItem(CDDEItem* item) {
  for (CDDEItem* i : m_ItemList)
    if (i == item) return true;
  m_ItemList.push_back(item);
  item->m_pTopic = this;
  return true;
}

bool CDDETopic::PostAdvise(CDDEItem* item) { return m_pServer != nullptr && m_pServer->PostAdvise(this, item); }

bool CDDEServerSystemTopic::Request(unsigned format, const char* item, void** data, uint32_t* size) {
  if (GetServer() != nullptr) GetServer()->Status("System topic request: %s", item != nullptr ? item : "");
  return CDDETopic::Request(format, item, data, size);
}

// ---- system items ----

const uint16_t* CDDESystemItem::GetFormatList() { return kTextOnly; }
bool CDDESystemItem::RequestFor(CDDETopic*, unsigned, void**, uint32_t*) { return false; }

bool CDDESystemItem_TopicList::RequestFor(CDDETopic* topic, unsigned, void** data, uint32_t* size) {
  static std::string text;
  std::string out;
  if (topic != nullptr && topic->GetServer() != nullptr)
    for (CDDETopic* t : topic->GetServer()->Topics()) out += (out.empty() ? "" : "\t") + t->GetName();
  return answer(text, out, data, size);
}

bool CDDESystemItem_ItemList::RequestFor(CDDETopic* topic, unsigned, void** data, uint32_t* size) {
  static std::string text;
  std::string out;
  bool first = true;
  if (topic != nullptr)
    for (CDDEItem* i : topic->Items()) {
      out += (first ? "" : "\t") + i->GetName();
      first = false;
    }
  return answer(text, out, data, size);
}

bool CDDESystemItem_FormatList::RequestFor(CDDETopic* topic, unsigned, void** data, uint32_t* size) {
  static std::string text;
  std::vector<uint16_t> seen;
  std::string out;
  if (topic != nullptr)
    for (CDDEItem* i : topic->Items()) {
      const uint16_t* list = i->GetFormatList();
      for (; list != nullptr && *list != 0; ++list) {
        bool met = false;
        for (uint16_t f : seen) met = met || f == *list;
        if (met || seen.size() >= kMaxFormats) continue;
        seen.push_back(*list);
        out += (seen.size() == 1 ? "" : "\t") + formatName(*list);
      }
    }
  return answer(text, out, data, size);
}

// ---- server ----

CDDEServer* CDDEServer::Current() { return g_server; }

CDDEServer::CDDEServer() {
  if (QCoreApplication::instance() != nullptr) m_strServiceName = QCoreApplication::applicationName().toStdString();
}

CDDEServer::~CDDEServer() {
  Shutdown();
  if (g_server == this) g_server = nullptr;
}

bool CDDEServer::Create(const char* service, DWORD filterFlags, DWORD* instance) {
  (void)filterFlags;  // the instance always takes every transaction
  if (g_server != nullptr) {
    Status("Already got a server!\n");
    return false;
  }
  g_server = this;
  if (DdeInitializeA(&m_dwDDEInstance, &CDDEServer::DdeCallback, 0, 0) != DMLERR_NO_ERROR) {
    g_server = nullptr;
    m_dwDDEInstance = 0;
    return false;
  }
  if (instance != nullptr) *instance = m_dwDDEInstance;
  m_strServiceName = service != nullptr ? service : "";
  m_hszServiceName.Create(this, m_strServiceName.c_str());
  m_SystemTopic.Create("System");
  AddTopic(&m_SystemTopic);
  m_SystemItemTopics.Create("Topics");
  m_SystemItemSysItems.Create("SysItems");
  m_SystemItemItems.Create("TopicItemList");
  m_SystemItemFormats.Create("Formats");
  m_SystemTopic.AddItem(&m_SystemItemTopics);
  m_SystemTopic.AddItem(&m_SystemItemSysItems);
  m_SystemTopic.AddItem(&m_SystemItemItems);
  m_SystemTopic.AddItem(&m_SystemItemFormats);
  m_bInitialized = true;
  if (DdeNameService(m_dwDDEInstance, m_hszServiceName, 0, DNS_REGISTER) == nullptr) {
    // The instance stays for client conversations; the error is kept for
    // GetLastDdeError.
    return false;
  }
  return OnCreated();
}

void CDDEServer::Shutdown() {
  if (!m_bInitialized) return;
  // Terminate removes each conversation from the list: walk a copy, holding
  // a reference on each while it ends.
  const CDDEConvList convs = m_ConvList;
  for (CDDEConv* c : convs) {
    c->AddRef();
    c->Terminate();
    c->Release();
  }
  FreeWildHandles();
  DdeNameService(m_dwDDEInstance, m_hszServiceName, 0, DNS_UNREGISTER);
  m_hszServiceName.Create(nullptr, nullptr);
  DdeUninitialize(m_dwDDEInstance);
  m_dwDDEInstance = 0;
  m_bInitialized = false;
}

UINT CDDEServer::GetLastDdeError() { return DdeGetLastError(m_dwDDEInstance); }

HDDEDATA CDDEServer::OnOtherTransaction(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

bool CDDEServer::Request(unsigned format, const char* topic, const char* item, void** data, uint32_t* size) {
  CDDETopic* t = FindTopic(topic);
  return t != nullptr && t->Request(format, item, data, size);
}

bool CDDEServer::Poke(unsigned format, const char* topic, const char* item, const void* data, uint32_t size) {
  CDDETopic* t = FindTopic(topic);
  return t != nullptr && t->Poke(format, item, data, size);
}

bool CDDEServer::AdviseData(unsigned format, HCONV conv, const char* topic, const char* item, const void* data,
                            uint32_t size) {
  CDDEConv* c = FindConversation(conv);
  return c != nullptr && c->AdviseData(format, topic, item, data, size);
}

bool CDDEServer::Exec(const char* topic, const void* data, uint32_t size) {
  CDDETopic* t = FindTopic(topic);
  return t != nullptr && t->Exec(data, size);
}

bool CDDEServer::AddTopic(CDDETopic* topic) {
  for (CDDETopic* t : m_TopicList)
    if (t == topic) return true;
  m_TopicList.push_back(topic);
  topic->m_pServer = this;
  topic->AddItem(&m_SystemItemItems);
  topic->AddItem(&m_SystemItemFormats);
  return true;
}

bool CDDEServer::CanAdvise(unsigned format, const char* topic, const char* item) {
  CDDETopic* t = FindTopic(topic);
  return t != nullptr && t->CanAdvise(format, item);
}

CDDETopic* CDDEServer::FindTopic(const char* name) {
  for (CDDETopic* t : m_TopicList)
    if (sameText(t->GetName(), name)) return t;
  return nullptr;
}

bool CDDEServer::PostAdvise(CDDETopic* topic, CDDEItem* item) {
  if (topic == nullptr || item == nullptr) return false;
  CHSZ t(this, topic->GetName().c_str()), i(this, item->GetName().c_str());
  return DdePostAdvise(m_dwDDEInstance, t, i) != 0;
}

CDDEConv* CDDEServer::AddConversation(HCONV conv, HSZ topic) { return AddConversation(new CDDEConv(this, conv, topic)); }

CDDEConv* CDDEServer::AddConversation(CDDEConv* conv) {
  conv->AddRef();
  m_ConvList.push_back(conv);
  return conv;
}

bool CDDEServer::RemoveConversation(HCONV conv) {
  for (auto it = m_ConvList.begin(); it != m_ConvList.end(); ++it) {
    if ((*it)->m_hConv != conv) continue;
    CDDEConv* c = *it;
    m_ConvList.erase(it);
    c->Release();
    return true;
  }
  return false;
}

void CDDEServer::Unlist(CDDEConv* conv) {
  for (auto it = m_ConvList.begin(); it != m_ConvList.end(); ++it) {
    if (*it != conv) continue;
    m_ConvList.erase(it);
    conv->Release();
    return;
  }
}

CDDEConv* CDDEServer::FindConversation(HCONV conv) {
  for (CDDEConv* c : m_ConvList)
    if (c->m_hConv == conv) return c;
  return nullptr;
}

std::string CDDEServer::HszToString(HSZ hsz) {
  const DWORD n = DdeQueryStringA(m_dwDDEInstance, hsz, nullptr, 0, CP_WINANSI);
  if (n == 0) return "<null>";
  std::string text(n + 1, '\0');
  if (DdeQueryStringA(m_dwDDEInstance, hsz, text.data(), n + 1, CP_WINANSI) == 0) return "<error>";
  text.resize(std::strlen(text.c_str()));
  return text;
}

void CDDEServer::FreeWildHandles() {
  for (HSZ h : m_WildHandles) DdeFreeStringHandle(m_dwDDEInstance, h);
  m_WildHandles.clear();
}

HDDEDATA CDDEServer::AnswerWildConnect(HSZ topic) {
  std::string text = "<null>";
  size_t count = 0;
  if (topic != 0) {
    text = HszToString(topic);
    count = FindTopic(text.c_str()) != nullptr ? 1 : 0;
  } else {
    count = m_TopicList.size();
  }
  if (count == 0) {
    Status("Wild connect to %s refused", text.c_str());
    return nullptr;
  }
  std::vector<HSZ> pairs;
  if (topic != 0) {
    pairs = {m_hszServiceName.Handle(), topic};
  } else {
    for (CDDETopic* t : m_TopicList) {
      const HSZ sv = DdeCreateStringHandleA(m_dwDDEInstance, m_strServiceName.c_str(), CP_WINANSI);
      const HSZ tp = DdeCreateStringHandleA(m_dwDDEInstance, t->GetName().c_str(), CP_WINANSI);
      m_WildHandles.push_back(sv);
      m_WildHandles.push_back(tp);
      pairs.push_back(sv);
      pairs.push_back(tp);
    }
  }
  pairs.push_back(0);
  pairs.push_back(0);
  const DWORD bytes = static_cast<DWORD>((count + 1) * 8);
  HDDEDATA h = DdeCreateDataHandle(m_dwDDEInstance, nullptr, bytes, 0, 0, 0, 0);
  if (h == nullptr) return nullptr;
  DWORD size = 0;
  uint8_t* p = DdeAccessData(h, &size);
  std::memcpy(p, pairs.data(), std::min<size_t>(size, pairs.size() * sizeof(HSZ)));
  DdeUnaccessData(h);
  return h;
}

HDDEDATA CDDEServer::DdeCallback(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                 ULONG_PTR data1, ULONG_PTR data2) {
  CDDEServer* server = g_server;
  if (server == nullptr) return nullptr;
  server->FreeWildHandles();
  const UINT t = type & 0xFFFF;
  server->Status("Callback %4.4XH", t);
  HDDEDATA result = nullptr;
  switch (t) {
    case XTYP_CONNECT:
    case XTYP_ADVSTART:
    case XTYP_REQUEST:
    case XTYP_ADVREQ:
    case XTYP_EXECUTE:
    case XTYP_POKE:
      if (server->HandleTransaction(t, format, conv, hsz1, hsz2, data, &result)) return result;
      return server->OnOtherTransaction(type, format, conv, hsz1, hsz2, data, data1, data2);
    case XTYP_ADVDATA:
      server->HandleTransaction(t, format, conv, hsz1, hsz2, data, &result);
      return result;
    case XTYP_WILDCONNECT:
      if (hsz2 != 0 && DdeCmpStringHandles(hsz2, server->m_hszServiceName) != 0) return nullptr;
      server->Status("Wild connect to %s", server->HszToString(hsz1).c_str());
      return server->AnswerWildConnect(hsz1);
    case XTYP_CONNECT_CONFIRM:
      server->Status("Connect to %s", server->HszToString(hsz1).c_str());
      server->AddConversation(conv, hsz1);
      return nullptr;
    case XTYP_DISCONNECT: {
      server->Status("Disconnect");
      // The partner has gone: the conversation is no longer connected, even
      // for whoever still holds a reference on it.
      CDDEConv* c = server->FindConversation(conv);
      if (c != nullptr) {
        c->AddRef();
        server->RemoveConversation(conv);
        c->m_hConv = 0;
        c->Release();
      }
      return nullptr;
    }
    default:
      return server->OnOtherTransaction(type, format, conv, hsz1, hsz2, data, data1, data2);
  }
}

bool CDDEServer::HandleTransaction(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                   HDDEDATA* result) {
  const std::string topic = HszToString(hsz1);
  if (type == XTYP_EXECUTE) {
    Status("Exec");
    DWORD size = 0;
    const uint8_t* bytes = DdeAccessData(data, &size);
    const bool ok = Exec(topic.c_str(), bytes, size);
    DdeUnaccessData(data);
    if (ok) {
      *result = reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(DDE_FACK));
      return true;
    }
    Status("Exec failed");
    *result = nullptr;
    return false;
  }
  if (type == XTYP_CONNECT) {
    if (FindTopic(topic.c_str()) == nullptr) return false;
    *result = reinterpret_cast<HDDEDATA>(1);
    return true;
  }
  const std::string item = HszToString(hsz2);
  switch (type) {
    case XTYP_ADVDATA: {
      DWORD size = 0;
      const uint8_t* bytes = DdeAccessData(data, &size);
      const bool ok = AdviseData(format, conv, topic.c_str(), item.c_str(), bytes, size);
      DdeUnaccessData(data);
      if (!ok) Status("AdviseData %s|%s failed", topic.c_str(), item.c_str());
      *result = ok ? reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(DDE_FACK)) : nullptr;
      return true;
    }
    case XTYP_POKE: {
      DWORD size = 0;
      const uint8_t* bytes = DdeAccessData(data, &size);
      const bool ok = Poke(format, topic.c_str(), item.c_str(), bytes, size);
      DdeUnaccessData(data);
      if (!ok) {
        Status("Poke %s|%s failed", topic.c_str(), item.c_str());
        return false;
      }
      CONVINFO info{};
      info.cb = sizeof info;
      if (DdeQueryConvInfo(conv, QID_SYNC, &info) != 0 && (info.wStatus & ST_ISSELF) == 0)
        DdePostAdvise(m_dwDDEInstance, hsz1, hsz2);
      *result = reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(DDE_FACK));
      return true;
    }
    case XTYP_ADVSTART:
      if (!CanAdvise(format, topic.c_str(), item.c_str())) {
        Status("Can't advise on %s|%s", topic.c_str(), item.c_str());
        return false;
      }
      *result = reinterpret_cast<HDDEDATA>(1);
      return true;
    case XTYP_REQUEST:
    case XTYP_ADVREQ: {
      Status("Request %s|%s", topic.c_str(), item.c_str());
      void* bytes = nullptr;
      uint32_t size = 0;
      if (!Request(format, topic.c_str(), item.c_str(), &bytes, &size)) {
        Status("Request %s|%s failed", topic.c_str(), item.c_str());
        *result = nullptr;
        return false;
      }
      *result = DdeCreateDataHandle(m_dwDDEInstance, static_cast<const uint8_t*>(bytes), size, 0, hsz2, format, 0);
      return true;
    }
    default:
      return true;
  }
}
