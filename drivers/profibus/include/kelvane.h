/*
 * Kelvane: the driver of the serial Profibus PA adapter. The program loads it
 * with dlopen from <program folder>/Driver/Kelvane.so and binds the exports
 * below by name. Plain C; compiles as C and C++.
 *
 * The library holds one port per process. The exports are not reentrant:
 * call them from one thread at a time.
 *
 * Line: the link always runs at 38400 baud, 8 data bits, no parity, one stop
 * bit. Flow-control index: 0 none, 1 CTS/RTS, 2 CTS/DTR, 3 DSR/RTS, 4 DSR/DTR,
 * 5 XON/XOFF. termios knows hardware flow control only as RTS/CTS, so 1 and
 * 2 both mean RTS/CTS, and it has no DSR flow control, so 3 and 4 mean none.
 *
 * Port numbers name <program folder>/ports/COM<n> when that exists, else the
 * default device table of the platform (COM1 is /dev/ttyS0, COM33
 * /dev/ttyUSB0, COM65 /dev/ttyACM0).
 *
 * A reply belongs to its request. Whatever arrived before a request is sent
 * is discarded. Of the replies that arrive (a reply is collected until the
 * line has been quiet for 50 ms) only one that answers the request counts:
 *   - from the station asked, to the master, of the service asked;
 *   - C3Read: a positive reply echoes the slot and index and carries no more
 *     data bytes than asked; C3Write: a positive reply echoes the slot, the
 *     index and the length written; a negative reply is 0xDE for a read,
 *     0xDF for a write;
 *   - GetSlaveStatus: 10 01 <address> 00; GetSlaveDiag: the diagnosis of the
 *     address; set slave address: E5.
 * Replies that answer something else (a late reply to an earlier request)
 * are passed over and the wait goes on; when none answers before the
 * response time-out the status is 6. Two replies that answer but differ
 * leave it open which one is ours: 6 at once. Never data.
 *
 * Statuses (8 bits):
 *   0   success
 *   6   no recognisable reply, or a reply that does not answer the request
 *   9   negative reply; its three error bytes are handed back
 *   11  the request could not be sent (the port refused it)
 *   14  the request was not sent within the write wait (100 ms)
 *   15  no reply within the response time-out
 *   27  invalid request, refused locally with nothing sent (too much data,
 *       a null pointer); for ModifySlaveAdd also: a station already answers
 *       at the new address
 *   103 the port failed: never opened, gone (unplugged, hung up), a failed
 *       write or wait. CloseComPort followed by OpenComPort recovers.
 */
#ifndef KELVANE_H
#define KELVANE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Data handed back by GetSlaveDiag, C3Read and C3Write never exceeds this
 * many bytes; out buffers must hold at least that much. */
#define KELVANE_MAX_REPLY_DATA 239

/* The most data bytes one C3Write can carry. */
#define KELVANE_MAX_WRITE_DATA 246

/* Number of counters that GetCommCounts copies. Index 0 requests written,
 * 1 writes not done within the write wait, 2 successful transactions,
 * 3 reply waits that timed out, 4 always 0, 5 failed transactions. */
#define KELVANE_COUNTER_COUNT 6

/* Opens COM<port>. baud, parity, dataBits and stopBits are ignored (the line
 * settings are fixed); responseTimeoutMs below 100 becomes 1000, above 3000
 * becomes 3000. Returns 1 on success, 0 on failure. */
int32_t OpenComPort(int32_t port, int32_t baud, int32_t parity, int32_t dataBits, int32_t stopBits,
                    int32_t flowControl, int32_t responseTimeoutMs);

/* Sets the response time-out with the same limits as OpenComPort and
 * returns the value now in effect. */
int32_t SetRespondOutTime(int32_t milliseconds);

/* Copies the KELVANE_COUNTER_COUNT counters. Returns 0, or -1 when counts
 * is null. */
int32_t GetCommCounts(uint32_t *counts);

/* Zeroes the counters. Returns 0. */
int32_t ClearCommCounts(void);

/* Asks the station at address for its status. */
uint8_t GetSlaveStatus(uint8_t address);

/* Reads the DP slave diagnosis of address into data (*length bytes). */
uint8_t GetSlaveDiag(uint8_t address, uint8_t *data, uint8_t *length);

/* Moves the station at oldAddress to newAddress. 27 when a station already
 * answers at newAddress. */
uint8_t ModifySlaveAdd(uint8_t oldAddress, uint8_t newAddress);

/* Reads length bytes at slot and index. On 0, data holds *dataLength bytes;
 * on 9 it holds the three error bytes (error decode, error code 1, error
 * code 2). */
uint8_t C3Read(uint8_t address, uint8_t slot, uint8_t index, uint8_t length, uint8_t *data,
               uint8_t *dataLength);

/* Writes length bytes of data at slot and index (at most
 * KELVANE_MAX_WRITE_DATA, else 27). On 9, error holds *errorLength bytes. */
uint8_t C3Write(uint8_t address, uint8_t slot, uint8_t index, const uint8_t *data, uint8_t length,
                uint8_t *error, uint8_t *errorLength);

/* Closes the port; nothing happens when none is open. */
void CloseComPort(void);

/* The port number of the first USB serial device whose hardware id
 * ("USB\VID_xxxx&PID_yyyy&REV_zzzz", hexadecimal digits in upper case)
 * contains both texts, or -1. */
int32_t GetCommPortNumber(const char *hardwareIdPart1, const char *hardwareIdPart2);

/* The frame monitor (an addition of this library; the program binds it by
 * name and works without it). SetFrameMonitor registers a callback that the
 * I/O thread calls with every telegram it sends and with every reception
 * (the bytes collected until the line was quiet for 50 ms), one call per
 * part of it:
 *   KELVANE_OUTCOME_REPLY      a whole telegram whose CRC matches (whether
 *                              it answers the request, the status says);
 *   KELVANE_OUTCOME_CRC_ERROR  a telegram whose CRC does not match;
 *   KELVANE_OUTCOME_DISCARDED  bytes that are no telegram (noise, a part of
 *                              one, bytes still being collected when the
 *                              next request went out);
 *   KELVANE_OUTCOME_TIMEOUT    no bytes (length 0), from the thread of the
 *                              transfer: no reply within the response
 *                              time-out.
 * The time is the steady clock (CLOCK_MONOTONIC) in nanoseconds at the
 * first byte of the reception, or when the telegram went out. The callback
 * must return at once and must not call the library. NULL stops the calls;
 * once SetFrameMonitor has returned the previous callback is not called
 * again. It may be called at any time from any thread. Returns 0. */
#define KELVANE_FRAME_SENT 0
#define KELVANE_FRAME_RECEIVED 1
#define KELVANE_OUTCOME_SENT 0
#define KELVANE_OUTCOME_REPLY 1
#define KELVANE_OUTCOME_TIMEOUT 2
#define KELVANE_OUTCOME_CRC_ERROR 3
#define KELVANE_OUTCOME_DISCARDED 4

typedef void (*KelvaneFrameCallback)(void *context, int64_t steadyNanoseconds, uint8_t direction, uint8_t outcome,
                                     const uint8_t *bytes, uint16_t length);
int32_t SetFrameMonitor(KelvaneFrameCallback callback, void *context);

#ifdef __cplusplus
}
#endif

#endif /* KELVANE_H */
