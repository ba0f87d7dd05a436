// Collector runtime: process-wide settings from COLL_ environment variables,
// environment access with defaults, allocation, numbered message records and
// small string and time utilities. Shared with the collector programs, hence
// the plain C-style interface.
#ifndef TAV_RUNTIME_COLLECTORRUNTIME_H
#define TAV_RUNTIME_COLLECTORRUNTIME_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Modes of coll_getenv.
#define COLL_ENV_TRACE 0
#define COLL_ENV_REPORT 1
#define COLL_ENV_EXPORT (-1)
#define COLL_ENV_QUIET (-2)

#define COLL_TRACE_LEVELS 10

// Room a coll_timestamp destination needs (style 2 is the longest).
#define COLL_TIMESTAMP_SIZE 48
// Longest path coll_split_path takes (after trimming); a destination needs one more byte.
#define COLL_SPLIT_PATH_MAX 1022

struct CollSettings {
    char* home;
    char* ctl_home;
    char* binpath;
    char* out_dir;
    char* hostname;
    char* username;
    char* server_id;
    char* logon;
    char* password;
    char* errorlog;
    char* version;
    char* prefix;
    char* prefix_local;
    int32_t maxreadsz_errorlog;
    char* useshm;
    int16_t nosignals;
    char* nosec;
    char* cfgdir;
    char* dbhome;
    char* dbversion;
};

// The settings and trace levels belong to the runtime's state (RuntimeState.h),
// as does the message output stream below.
extern CollSettings& coll_settings;
extern int16_t (&coll_trace)[COLL_TRACE_LEVELS];

// tavutil: settings, environment, allocation, shell output.
// The texts it fills in belong to the runtime's state and are freed with it.
int coll_init_settings(CollSettings* settings);
char* coll_getenv(const char* name, int mode, const char* def);
char* coll_setenv(const char* name, const char* value);
char* coll_shell_output(const char* command);  // read through a pipe; at most 8191 characters of command
void* coll_alloc(size_t size, const char* file, int line, const char* expr);
void coll_free(void* block, const char* file, int line, const char* expr);
size_t coll_alloc_size(size_t request);  // the bytes coll_alloc takes for a request; 0 when too large
// The end of a failed allocation: message "utm5400" and exit code 4.
[[noreturn]] void coll_out_of_memory(const char* file, int line, const char* expr, size_t size);

// tavufil: message output file and message records.
extern FILE*& coll_output;
int coll_message(const char* context, const char* file, int line, const char* type,
                 const char* id, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 6, 7)))
#endif
    ;
FILE* coll_open_output(const char* base_name);
char* coll_output_path(char* buffer, const char* base_name);  // buffer: room for the whole path, or null
int coll_check_wrap(FILE** stream, const char* base_name, int* counter);
const char* coll_output_file_name();  // the current message output path ("" before the first open)

// tavstr: string and time utilities.
int coll_stricmp(const char* a, const char* b);
char* coll_strdup(const char* text);
char* coll_strupr(char* text);
char* coll_trim(char* text, int mode, const char* set);
char* coll_timestamp(char* buffer, int style);  // buffer: COLL_TIMESTAMP_SIZE bytes, or null
// Null, and nothing filled, for a path longer than COLL_SPLIT_PATH_MAX after trimming.
char* coll_split_path(const char* path, char* dir, char* dir_sep, char* base, char* ext,
                      char* file_name);

#endif
