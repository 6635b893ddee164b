#pragma once
// Reference-counted DDE conversations: the client side (ConnectTo, then
// executes, requests, advise starts and pokes, each synchronous) and the
// server side (one object per conversation another program opened with us).
// Every conversation in the server's list holds one reference taken by the
// list.

#include <cstdint>
#include <string>

#include "platform/dde/ddeml.h"

class CDDEServer;

class CDDECountedObject {
 public:
  virtual ~CDDECountedObject() = default;
  long AddRef() { return ++m_nRefs; }
  // Deletes the object when the count reaches 0.
  long Release() {
    const long n = --m_nRefs;
    if (n == 0) delete this;
    return n;
  }
  long RefCount() const { return m_nRefs; }

 private:
  long m_nRefs = 0;
};

class CDDEConv : public CDDECountedObject {
 public:
  static constexpr plat::dde::DWORD kDefaultTimeoutMs = 5000;

  CDDEConv();
  explicit CDDEConv(CDDEServer* server);
  CDDEConv(CDDEServer* server, plat::dde::HCONV conv, plat::dde::HSZ topic);
  ~CDDEConv() override;

  virtual bool ConnectTo(const char* service, const char* topic);
  // Disconnects and leaves the server's list; false when not connected.
  virtual bool Terminate();
  // Advise data that arrived on this conversation; false in the base.
  virtual bool AdviseData(unsigned format, const char* topic, const char* item, const void* data, uint32_t size);
  // On success *data is a new[] block the caller owns (delete[]); on failure
  // *data is null and *size 0.
  virtual bool Request(const char* item, void** data, uint32_t* size);
  virtual bool Advise(const char* item);
  virtual bool Exec(const char* command);
  virtual bool Poke(unsigned format, const char* item, const void* data, uint32_t size);

  plat::dde::HCONV GetConv() const { return m_hConv; }
  plat::dde::HSZ GetTopic() const { return m_hszTopic; }
  plat::dde::DWORD GetLastError() const { return m_dwLastError; }
  bool IsConnected() const { return m_hConv != 0; }
  // The time-out of every transaction (5000 ms unless changed).
  void SetTimeout(plat::dde::DWORD ms) { m_dwTimeout = ms; }

 private:
  friend class CDDEServer;
  plat::dde::HDDEDATA Transact(const void* data, uint32_t size, const char* item, unsigned format, unsigned type);

  plat::dde::DWORD m_dwLastError = 0;
  CDDEServer* m_pServer = nullptr;
  plat::dde::HCONV m_hConv = 0;
  plat::dde::HSZ m_hszTopic = 0;
  plat::dde::DWORD m_dwTimeout = kDefaultTimeoutMs;
};
