#pragma once
// A DDE server on top of the DDE management calls: one server object per
// process registers a service name and owns a list of topics, each topic a
// list of items; one callback turns every transaction into a call of a
// virtual operation of the server, the topic or the item. The client
// conversations (dde_conv.h) share the server's instance and its
// conversation list.
//
// Lists hold pointers only: topics and items belong to whoever made them and
// must outlive their membership.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dde/ddeml.h"
#include "shared/dde/dde_conv.h"

class CDDEServer;
class CDDETopic;

// A string handle that frees itself.
class CHSZ {
 public:
  CHSZ() = default;
  CHSZ(CDDEServer* server, const char* text);
  ~CHSZ();
  CHSZ(const CHSZ&) = delete;
  CHSZ& operator=(const CHSZ&) = delete;
  // Frees a held handle, then makes one of `text`.
  void Create(CDDEServer* server, const char* text);
  plat::dde::HSZ Handle() const { return m_hsz; }
  operator plat::dde::HSZ() const { return m_hsz; }

 private:
  plat::dde::HSZ m_hsz = 0;
  plat::dde::DWORD m_dwInstance = 0;
};

class CDDEItem {
 public:
  virtual ~CDDEItem() = default;
  virtual bool Request(unsigned format, void** data, uint32_t* size);
  virtual bool Poke(unsigned format, const void* data, uint32_t size);
  virtual bool IsSupportedFormat(unsigned format);
  // A zero-terminated list of clipboard formats, or null.
  virtual const uint16_t* GetFormatList();
  virtual bool CanAdvise(unsigned format);

  void Create(const char* name) { m_strName = name != nullptr ? name : ""; }
  // Asks the owning topic to post an advise for this item; false without one.
  bool PostAdvise();
  const std::string& GetName() const { return m_strName; }
  CDDETopic* GetTopic() const { return m_pTopic; }

 private:
  friend class CDDETopic;
  std::string m_strName;
  CDDETopic* m_pTopic = nullptr;
};

// An item whose value is one text.
class CDDEStringItem : public CDDEItem {
 public:
  // Hands out the text's own buffer and its length + 1, whatever the format.
  bool Request(unsigned format, void** data, uint32_t* size) override;
  // Takes the bytes as text, up to the first zero or `size`.
  bool Poke(unsigned format, const void* data, uint32_t size) override;
  const uint16_t* GetFormatList() override;
  virtual void OnPoke() {}
  // Stores the text, then posts an advise.
  virtual bool SetData(const char* text);
  virtual const char* GetData() { return m_strData.c_str(); }

 private:
  std::string m_strData;
};

using CDDEItemList = std::vector<CDDEItem*>;
using CDDETopicList = std::vector<CDDETopic*>;
using CDDEConvList = std::vector<CDDEConv*>;

class CDDETopic {
 public:
  virtual ~CDDETopic() = default;
  virtual bool Request(unsigned format, const char* item, void** data, uint32_t* size);
  virtual bool Poke(unsigned format, const char* item, const void* data, uint32_t size);
  virtual bool Exec(const void* data, uint32_t size);
  // First item of that name, without regard to case.
  virtual CDDEItem* FindItem(const char* name);
  virtual bool CanAdvise(unsigned format, const char* item);

  void Create(const char* name) { m_strName = name != nullptr ? name : ""; }
  // Appends the item (once) and makes this topic its owner.
  bool AddItem(CDDEItem* item);
  bool PostAdvise(CDDEItem* item);
  const std::string& GetName() const { return m_strName; }
  CDDEServer* GetServer() const { return m_pServer; }
  const CDDEItemList& Items() const { return m_ItemList; }

 private:
  friend class CDDEServer;
  std::string m_strName;
  CDDEServer* m_pServer = nullptr;
  CDDEItemList m_ItemList;
};

// The items of the system topic. One item object may sit in the lists of
// several topics ("TopicItemList" and "Formats" are added to every topic);
// it answers for the topic that the request names.
class CDDESystemItem : public CDDEItem {
 public:
  const uint16_t* GetFormatList() override;
  // Answers for `topic` (the topic the request named).
  virtual bool RequestFor(CDDETopic* topic, unsigned format, void** data, uint32_t* size);
  bool Request(unsigned format, void** data, uint32_t* size) override {
    return RequestFor(GetTopic(), format, data, size);
  }
};

class CDDESystemItem_TopicList : public CDDESystemItem {
 public:
  bool RequestFor(CDDETopic* topic, unsigned format, void** data, uint32_t* size) override;
};

class CDDESystemItem_ItemList : public CDDESystemItem {
 public:
  bool RequestFor(CDDETopic* topic, unsigned format, void** data, uint32_t* size) override;
};

class CDDESystemItem_FormatList : public CDDESystemItem {
 public:
  // At most this many distinct formats are named; further ones are left out.
  static constexpr size_t kMaxFormats = 100;
  bool RequestFor(CDDETopic* topic, unsigned format, void** data, uint32_t* size) override;
};

class CDDEServerSystemTopic : public CDDETopic {
 public:
  bool Request(unsigned format, const char* item, void** data, uint32_t* size) override;
};

class CDDEServer {
 public:
  CDDEServer();
  virtual ~CDDEServer();
  CDDEServer(const CDDEServer&) = delete;
  CDDEServer& operator=(const CDDEServer&) = delete;

  // Initialises the instance and registers `service`. False when another
  // server of this process is alive, when the instance cannot be made, or
  // when the service is held by another program (GetLastDdeError tells).
  bool Create(const char* service, plat::dde::DWORD filterFlags = 0, plat::dde::DWORD* instance = nullptr);
  void Shutdown();

  virtual bool OnCreated() { return true; }
  virtual plat::dde::UINT GetLastDdeError();
  virtual plat::dde::HDDEDATA OnOtherTransaction(plat::dde::UINT type, plat::dde::UINT format, plat::dde::HCONV conv,
                                                 plat::dde::HSZ hsz1, plat::dde::HSZ hsz2, plat::dde::HDDEDATA data,
                                                 plat::dde::ULONG_PTR data1, plat::dde::ULONG_PTR data2);
  virtual bool Request(unsigned format, const char* topic, const char* item, void** data, uint32_t* size);
  virtual bool Poke(unsigned format, const char* topic, const char* item, const void* data, uint32_t size);
  virtual bool AdviseData(unsigned format, plat::dde::HCONV conv, const char* topic, const char* item,
                          const void* data, uint32_t size);
  virtual bool Exec(const char* topic, const void* data, uint32_t size);
  // A printf-style report hook; empty in the base.
  virtual void Status(const char* format, ...) { (void)format; }
  virtual bool AddTopic(CDDETopic* topic);
  virtual bool CanAdvise(unsigned format, const char* topic, const char* item);

  CDDETopic* FindTopic(const char* name);
  bool PostAdvise(CDDETopic* topic, CDDEItem* item);

  CDDEConv* AddConversation(plat::dde::HCONV conv, plat::dde::HSZ topic);
  CDDEConv* AddConversation(CDDEConv* conv);
  bool RemoveConversation(plat::dde::HCONV conv);
  CDDEConv* FindConversation(plat::dde::HCONV conv);

  // The text of a string handle; "<null>" for none, "<error>" when unreadable.
  std::string HszToString(plat::dde::HSZ hsz);

  plat::dde::DWORD GetInstance() const { return m_dwDDEInstance; }
  bool IsInitialized() const { return m_bInitialized; }
  const std::string& GetServiceName() const { return m_strServiceName; }
  plat::dde::HSZ GetServiceHandle() const { return m_hszServiceName; }
  const CDDETopicList& Topics() const { return m_TopicList; }
  const CDDEConvList& Conversations() const { return m_ConvList; }
  CDDETopic* GetSystemTopic() { return &m_SystemTopic; }

  // The process's live server, or null.
  static CDDEServer* Current();

 private:
  static plat::dde::HDDEDATA DdeCallback(plat::dde::UINT type, plat::dde::UINT format, plat::dde::HCONV conv,
                                         plat::dde::HSZ hsz1, plat::dde::HSZ hsz2, plat::dde::HDDEDATA data,
                                         plat::dde::ULONG_PTR data1, plat::dde::ULONG_PTR data2);
  friend class CDDEConv;
  // Takes this very object out of the list and drops the list's reference.
  void Unlist(CDDEConv* conv);
  bool HandleTransaction(plat::dde::UINT type, plat::dde::UINT format, plat::dde::HCONV conv, plat::dde::HSZ hsz1,
                         plat::dde::HSZ hsz2, plat::dde::HDDEDATA data, plat::dde::HDDEDATA* result);
  plat::dde::HDDEDATA AnswerWildConnect(plat::dde::HSZ topic);
  void FreeWildHandles();

  plat::dde::DWORD m_dwDDEInstance = 0;
  CDDETopicList m_TopicList;
  CDDEConvList m_ConvList;
  bool m_bInitialized = false;
  std::string m_strServiceName;
  CHSZ m_hszServiceName;
  CDDEServerSystemTopic m_SystemTopic;
  CDDESystemItem_TopicList m_SystemItemTopics;
  CDDESystemItem_ItemList m_SystemItemSysItems;
  CDDESystemItem_ItemList m_SystemItemItems;
  CDDESystemItem_FormatList m_SystemItemFormats;
  // Handles made for the last wild-connect answer, kept until the layer has
  // read their texts (freed at the next callback and at shut-down).
  std::vector<plat::dde::HSZ> m_WildHandles;
};
