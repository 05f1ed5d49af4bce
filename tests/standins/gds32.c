/* A stand-in for the Firebird client library where the real one does not exist (Wine, demo
 * packages): the classic entry points the installer's database probe calls, answering from
 * the environment.
 *   VLT_GDS32_VERSION  version text of the server (default "WI-V2.5.9.27139 Firebird 2.5")
 *   VLT_GDS32_DIALECT  the database's SQL dialect (default 3); "none" leaves the item out
 *   VLT_GDS32_REFUSE   "nopriv": every attachment is refused for a missing privilege; an
 *                      information item's number ("62", "12"): requests for it fail
 *   VLT_GDS32_LOG      file to which every call's name is appended, one line each
 * A database is attached when its file can be opened for reading. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef intptr_t ISC_STATUS;
typedef unsigned int FB_API_HANDLE;

enum {
  arg_end = 0,
  arg_gds = 1,
  arg_string = 2,
  arg_win32 = 17,
  info_end = 1,
  info_truncated = 2,
  info_error = 3,
  info_version = 12,
  info_db_sql_dialect = 62
};

#define IO_ERROR 335544344L
#define IO_OPEN_ERR 335544734L
#define NO_PRIV 335544352L
#define BAD_DB_HANDLE 335544324L
#define BAD_DPB_FORM 335544325L
#define NET_READ_ERR 335544726L

static const FB_API_HANDLE kHandle = 1;
static char g_file[1024];

static void log_call(const char* name) {
  const char* path = getenv("VLT_GDS32_LOG");
  if (path == NULL || *path == '\0') return;
  FILE* f = fopen(path, "ab");
  if (f == NULL) return;
  fprintf(f, "%s\n", name);
  fclose(f);
}

static ISC_STATUS fail(ISC_STATUS* status, ISC_STATUS code) {
  status[0] = arg_gds;
  status[1] = code;
  status[2] = arg_end;
  return code;
}

static ISC_STATUS ok(ISC_STATUS* status) {
  status[0] = arg_gds;
  status[1] = 0;
  status[2] = arg_end;
  return 0;
}

ISC_STATUS isc_attach_database(ISC_STATUS* status, short name_length, const char* name,
                               FB_API_HANDLE* db, short dpb_length, const char* dpb) {
  log_call("isc_attach_database");
  if (*db != 0) return fail(status, BAD_DB_HANDLE);
  if (dpb_length < 1 || dpb == NULL || dpb[0] != 1) return fail(status, BAD_DPB_FORM);
  const char* refuse = getenv("VLT_GDS32_REFUSE");
  if (refuse != NULL && strcmp(refuse, "nopriv") == 0) return fail(status, NO_PRIV);
  size_t n = name_length > 0 ? (size_t)name_length : 0;
  if (n >= sizeof g_file) n = sizeof g_file - 1;
  memcpy(g_file, name, n);
  g_file[n] = '\0';
  FILE* f = fopen(g_file, "rb");
  if (f == NULL) {
    status[0] = arg_gds;
    status[1] = IO_ERROR;
    status[2] = arg_string;
    status[3] = (ISC_STATUS) "CreateFile (open)";
    status[4] = arg_string;
    status[5] = (ISC_STATUS)g_file;
    status[6] = arg_gds;
    status[7] = IO_OPEN_ERR;
    status[8] = arg_win32;
    status[9] = 2;
    status[10] = arg_end;
    return IO_ERROR;
  }
  fclose(f);
  *db = kHandle;
  return ok(status);
}

ISC_STATUS isc_detach_database(ISC_STATUS* status, FB_API_HANDLE* db) {
  log_call("isc_detach_database");
  if (*db != kHandle) return fail(status, BAD_DB_HANDLE);
  *db = 0;
  return ok(status);
}

/* Appends one reply cluster; 0 when it does not fit. */
static int put(char* buffer, short size, int* at, int item, const char* data, int length) {
  if (*at + 3 + length > size) return 0;
  buffer[(*at)++] = (char)item;
  buffer[(*at)++] = (char)(length & 0xFF);
  buffer[(*at)++] = (char)((length >> 8) & 0xFF);
  memcpy(buffer + *at, data, (size_t)length);
  *at += length;
  return 1;
}

ISC_STATUS isc_database_info(ISC_STATUS* status, FB_API_HANDLE* db, short item_length,
                             const char* items, short buffer_length, char* buffer) {
  log_call("isc_database_info");
  if (*db != kHandle) return fail(status, BAD_DB_HANDLE);
  const char* refuse = getenv("VLT_GDS32_REFUSE");
  int at = 0;
  for (int i = 0; i < item_length; ++i) {
    const int item = (unsigned char)items[i];
    if (refuse != NULL && atoi(refuse) == item) return fail(status, NET_READ_ERR);
    char data[600];
    int length = 0;
    if (item == info_db_sql_dialect) {
      const char* d = getenv("VLT_GDS32_DIALECT");
      if (d != NULL && strcmp(d, "none") == 0) continue;
      data[0] = (char)(d != NULL && *d != '\0' ? atoi(d) : 3);
      length = 1;
    } else if (item == info_version) {
      const char* v = getenv("VLT_GDS32_VERSION");
      if (v == NULL || *v == '\0') v = "WI-V2.5.9.27139 Firebird 2.5";
      static const char kSecond[] = "WI-V2.5.9.27139 Firebird 2.5/stand-in";
      const size_t first = strlen(v) > 255 ? 255 : strlen(v);
      data[length++] = 2;
      data[length++] = (char)first;
      memcpy(data + length, v, first);
      length += (int)first;
      data[length++] = (char)(sizeof kSecond - 1);
      memcpy(data + length, kSecond, sizeof kSecond - 1);
      length += (int)(sizeof kSecond - 1);
    } else {
      if (!put(buffer, buffer_length, &at, info_error, "", 0)) break;
      continue;
    }
    if (!put(buffer, buffer_length, &at, item, data, length)) {
      if (at < buffer_length) buffer[at++] = info_truncated;
      return ok(status);
    }
  }
  if (at < buffer_length) buffer[at++] = info_end;
  return ok(status);
}

int32_t isc_vax_integer(const char* bytes, short length) {
  log_call("isc_vax_integer");
  if (bytes == NULL || length <= 0 || length > 4) return 0;
  uint32_t value = 0;
  for (int i = 0; i < length - 1; ++i) value |= (uint32_t)(unsigned char)bytes[i] << (8 * i);
  value |= (uint32_t)(int32_t)(signed char)bytes[length - 1] << (8 * (length - 1));
  return (int32_t)value;
}

long long isc_portable_integer(const unsigned char* bytes, short length) {
  log_call("isc_portable_integer");
  if (bytes == NULL || length <= 0 || length > 8) return 0;
  uint64_t value = 0;
  for (int i = 0; i < length - 1; ++i) value |= (uint64_t)bytes[i] << (8 * i);
  value |= (uint64_t)(int64_t)(signed char)bytes[length - 1] << (8 * (length - 1));
  return (long long)value;
}

int32_t isc_sqlcode(const ISC_STATUS* status) {
  log_call("isc_sqlcode");
  if (status[0] != arg_gds || status[1] == 0) return 0;
  return status[1] == NO_PRIV ? -551 : -902;
}

/* Writes the message of the error at *vector and moves *vector past it and its arguments. */
int32_t isc_interprete(char* buffer, ISC_STATUS** vector) {
  log_call("isc_interprete");
  ISC_STATUS* v = *vector;
  const char* args[2] = {"", ""};
  int nargs = 0;
  if (v[0] == arg_end || (v[0] == arg_gds && v[1] == 0)) return 0;
  const ISC_STATUS kind = v[0];
  const ISC_STATUS code = v[1];
  v += 2;
  while (v[0] == arg_string) {
    if (nargs < 2) args[nargs++] = (const char*)v[1];
    v += 2;
  }
  *vector = v;
  if (kind == arg_win32) {
    snprintf(buffer, 1024, "%s",
             code == 2 ? "The system cannot find the file specified." : "System error.");
  } else if (code == IO_ERROR) {
    snprintf(buffer, 1024, "I/O error during \"%s\" operation for file \"%s\"", args[0], args[1]);
  } else if (code == IO_OPEN_ERR) {
    snprintf(buffer, 1024, "Error while trying to open file");
  } else if (code == NET_READ_ERR) {
    snprintf(buffer, 1024, "Error reading data from the connection.");
  } else if (code == NO_PRIV) {
    snprintf(buffer, 1024, "no permission for connect access to database.");
  } else {
    snprintf(buffer, 1024, "Error %ld.", (long)code);
  }
  return (int32_t)strlen(buffer);
}

void isc_get_client_version(char* buffer) {
  log_call("isc_get_client_version");
  strcpy(buffer, "WI-V2.5.9.27139 Firebird 2.5 stand-in");
}

int isc_get_client_major_version(void) {
  log_call("isc_get_client_major_version");
  return 2;
}

int isc_get_client_minor_version(void) {
  log_call("isc_get_client_minor_version");
  return 5;
}
