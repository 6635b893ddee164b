#pragma once
// The DDE management calls, with their Windows names and constants, between
// the processes of one user.
//
// Each registered service listens on one Unix-domain socket in the user's
// socket folder (platform/ipc/runtime.h); a conversation is one connection
// to it. String handles (HSZ) are per process and matched without regard to
// case: their texts cross the socket and are interned again on the other
// side, inside wild-connect pairs too. Data handles copy their bytes.
//
// Callbacks run on the thread that called DdeInitialize, from Qt's event
// loop. A synchronous DdeClientTransaction waits in a local loop that
// excludes user input but keeps serving incoming transactions (so two
// programs may send to each other at the same moment); a second outgoing
// transaction from inside that wait is refused with DMLERR_REENTRANCY, and
// the wait gives up at the time-out with the DMLERR code of the transaction.
// A partner that goes away ends the conversation with XTYP_DISCONNECT.
//
// Beyond Windows: a service is held by one instance at a time: a second
// DNS_REGISTER of a name that another instance (of any process) holds fails
// with DMLERR_DLL_USAGE.

#include <cstdint>
#include <vector>

namespace plat::dde {

using UINT = uint32_t;
using DWORD = uint32_t;
using BOOL = int;
using ULONG_PTR = uintptr_t;
using HSZ = uint32_t;
using HCONV = uint32_t;
struct DdeDataHandle;
using HDDEDATA = DdeDataHandle*;
using LPBYTE = uint8_t*;

using PFNCALLBACK = HDDEDATA (*)(UINT uType, UINT uFmt, HCONV hconv, HSZ hsz1, HSZ hsz2, HDDEDATA hdata,
                                 ULONG_PTR dwData1, ULONG_PTR dwData2);

struct CONVCONTEXT {
  UINT cb = sizeof(CONVCONTEXT);
  UINT wFlags = 0;
  UINT wCountryID = 0;
  int iCodePage = 0;
  DWORD dwLangID = 0;
  DWORD dwSecurity = 0;
};

struct CONVINFO {
  DWORD cb;
  ULONG_PTR hUser;
  HCONV hConvPartner;
  HSZ hszSvcPartner;
  HSZ hszServiceReq;
  HSZ hszTopic;
  HSZ hszItem;
  UINT wFmt;
  UINT wType;
  UINT wStatus;
  UINT wConvst;
  UINT wLastError;
};

struct HSZPAIR {
  HSZ hszSvc;
  HSZ hszTopic;
};

// Transaction classes, flags and types.
inline constexpr UINT XCLASS_BOOL = 0x1000;
inline constexpr UINT XCLASS_DATA = 0x2000;
inline constexpr UINT XCLASS_FLAGS = 0x4000;
inline constexpr UINT XCLASS_NOTIFICATION = 0x8000;
inline constexpr UINT XTYPF_NOBLOCK = 0x0002;
inline constexpr UINT XTYPF_NODATA = 0x0004;
inline constexpr UINT XTYPF_ACKREQ = 0x0008;
inline constexpr UINT XTYP_ERROR = 0x0000 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
inline constexpr UINT XTYP_ADVDATA = 0x0010 | XCLASS_FLAGS;
inline constexpr UINT XTYP_ADVREQ = 0x0020 | XCLASS_DATA | XTYPF_NOBLOCK;
inline constexpr UINT XTYP_ADVSTART = 0x0030 | XCLASS_BOOL;
inline constexpr UINT XTYP_ADVSTOP = 0x0040 | XCLASS_NOTIFICATION;
inline constexpr UINT XTYP_EXECUTE = 0x0050 | XCLASS_FLAGS;
inline constexpr UINT XTYP_CONNECT = 0x0060 | XCLASS_BOOL | XTYPF_NOBLOCK;
inline constexpr UINT XTYP_CONNECT_CONFIRM = 0x0070 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
inline constexpr UINT XTYP_XACT_COMPLETE = 0x0080 | XCLASS_NOTIFICATION;
inline constexpr UINT XTYP_POKE = 0x0090 | XCLASS_FLAGS;
inline constexpr UINT XTYP_REGISTER = 0x00A0 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
inline constexpr UINT XTYP_REQUEST = 0x00B0 | XCLASS_DATA;
inline constexpr UINT XTYP_DISCONNECT = 0x00C0 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
inline constexpr UINT XTYP_UNREGISTER = 0x00D0 | XCLASS_NOTIFICATION | XTYPF_NOBLOCK;
inline constexpr UINT XTYP_WILDCONNECT = 0x00E0 | XCLASS_DATA | XTYPF_NOBLOCK;
inline constexpr UINT XTYP_MASK = 0x00F0;

// Errors (DdeGetLastError).
inline constexpr UINT DMLERR_NO_ERROR = 0;
inline constexpr UINT DMLERR_ADVACKTIMEOUT = 0x4000;
inline constexpr UINT DMLERR_BUSY = 0x4001;
inline constexpr UINT DMLERR_DATAACKTIMEOUT = 0x4002;
inline constexpr UINT DMLERR_DLL_NOT_INITIALIZED = 0x4003;
inline constexpr UINT DMLERR_DLL_USAGE = 0x4004;
inline constexpr UINT DMLERR_EXECACKTIMEOUT = 0x4005;
inline constexpr UINT DMLERR_INVALIDPARAMETER = 0x4006;
inline constexpr UINT DMLERR_LOW_MEMORY = 0x4007;
inline constexpr UINT DMLERR_MEMORY_ERROR = 0x4008;
inline constexpr UINT DMLERR_NOTPROCESSED = 0x4009;
inline constexpr UINT DMLERR_NO_CONV_ESTABLISHED = 0x400A;
inline constexpr UINT DMLERR_POKEACKTIMEOUT = 0x400B;
inline constexpr UINT DMLERR_POSTMSG_FAILED = 0x400C;
inline constexpr UINT DMLERR_REENTRANCY = 0x400D;
inline constexpr UINT DMLERR_SERVER_DIED = 0x400E;
inline constexpr UINT DMLERR_SYS_ERROR = 0x400F;
inline constexpr UINT DMLERR_UNADVACKTIMEOUT = 0x4010;
inline constexpr UINT DMLERR_UNFOUND_QUEUE_ID = 0x4011;

inline constexpr UINT DNS_REGISTER = 0x0001;
inline constexpr UINT DNS_UNREGISTER = 0x0002;
inline constexpr int CP_WINANSI = 1004;
inline constexpr int CP_WINUNICODE = 1200;
inline constexpr UINT CF_TEXT = 1;
inline constexpr UINT DDE_FACK = 0x8000;
inline constexpr UINT DDE_FBUSY = 0x4000;
inline constexpr UINT DDE_FNOTPROCESSED = 0x0000;
inline constexpr UINT HDATA_APPOWNED = 0x0001;
inline constexpr DWORD QID_SYNC = 0xFFFFFFFFu;
inline constexpr DWORD TIMEOUT_ASYNC = 0xFFFFFFFFu;
inline constexpr DWORD APPCMD_CLIENTONLY = 0x00000010;

// Conversation status bits and states (CONVINFO).
inline constexpr UINT ST_CONNECTED = 0x0001;
inline constexpr UINT ST_ADVISE = 0x0002;
inline constexpr UINT ST_ISLOCAL = 0x0004;
inline constexpr UINT ST_BLOCKED = 0x0008;
inline constexpr UINT ST_CLIENT = 0x0010;
inline constexpr UINT ST_TERMINATED = 0x0020;
inline constexpr UINT ST_INLIST = 0x0040;
inline constexpr UINT ST_BLOCKNEXT = 0x0080;
inline constexpr UINT ST_ISSELF = 0x0100;
inline constexpr UINT XST_NULL = 0;
inline constexpr UINT XST_CONNECTED = 2;

// How long DdeConnect waits for a server's answer.
inline constexpr int kConnectTimeoutMs = 5000;

UINT DdeInitialize(DWORD* pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD ulRes);
BOOL DdeUninitialize(DWORD idInst);
DWORD DdeGetLastError(DWORD idInst);  // returns the last error and clears it

// Texts are UTF-8 whatever the code page; lengths count bytes and cuts fall
// on character boundaries.
HSZ DdeCreateStringHandle(DWORD idInst, const char* psz, int iCodePage);
BOOL DdeFreeStringHandle(DWORD idInst, HSZ hsz);
BOOL DdeKeepStringHandle(DWORD idInst, HSZ hsz);
DWORD DdeQueryString(DWORD idInst, HSZ hsz, char* psz, DWORD cchMax, int iCodePage);
// 0 when equal (without regard to case), -1 or 1 otherwise; 0 sorts first.
int DdeCmpStringHandles(HSZ hsz1, HSZ hsz2);

HDDEDATA DdeCreateDataHandle(DWORD idInst, const uint8_t* pSrc, DWORD cb, DWORD cbOff, HSZ hszItem, UINT wFmt,
                             UINT afCmd);
uint8_t* DdeAccessData(HDDEDATA hData, DWORD* pcbDataSize);
BOOL DdeUnaccessData(HDDEDATA hData);
BOOL DdeFreeDataHandle(HDDEDATA hData);
DWORD DdeGetData(HDDEDATA hData, uint8_t* pDst, DWORD cbMax, DWORD cbOff);

HDDEDATA DdeNameService(DWORD idInst, HSZ hsz1, HSZ hsz2, UINT afCmd);
// With a zero service or topic: a wild connect to the first pair offered.
HCONV DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, const CONVCONTEXT* pCC);
BOOL DdeDisconnect(HCONV hConv);
// pData with cbData == (DWORD)-1 passes a data handle (freed unless app-owned).
HDDEDATA DdeClientTransaction(LPBYTE pData, DWORD cbData, HCONV hConv, HSZ hszItem, UINT wFmt, UINT wType,
                              DWORD dwTimeout, DWORD* pdwResult);
BOOL DdePostAdvise(DWORD idInst, HSZ hszTopic, HSZ hszItem);
UINT DdeQueryConvInfo(HCONV hConv, DWORD idTransaction, CONVINFO* pConvInfo);

// The (service, topic) pairs that the servers answer to a wild connect
// (a zero service asks every service of the user), each handle interned in
// this process with one reference for the caller, closed by a zero pair.
std::vector<HSZPAIR> DdeWildConnectPairs(DWORD idInst, HSZ hszService, HSZ hszTopic);

// The A spellings the callers use.
inline UINT DdeInitializeA(DWORD* p, PFNCALLBACK f, DWORD a, DWORD r) { return DdeInitialize(p, f, a, r); }
inline HSZ DdeCreateStringHandleA(DWORD i, const char* s, int cp) { return DdeCreateStringHandle(i, s, cp); }
inline DWORD DdeQueryStringA(DWORD i, HSZ h, char* s, DWORD n, int cp) { return DdeQueryString(i, h, s, n, cp); }

}  // namespace plat::dde
