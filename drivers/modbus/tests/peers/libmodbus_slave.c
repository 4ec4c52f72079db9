/* A Modbus RTU slave on libmodbus for tests and benchmarks:
 *   ostrelle_libmodbus_slave DEVICE [SLAVE [BAUD]]
 * 100 coils (every third set), 100 discrete inputs (every second set),
 * 100 holding registers (0x000A + n) and 100 input registers (0x1000 + n).
 * Prints "ready" once the device is open; serves until it is killed. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <modbus.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s DEVICE [SLAVE [BAUD]]\n", argv[0]);
    return 2;
  }
  int slave = argc > 2 ? atoi(argv[2]) : 1;
  int baud = argc > 3 ? atoi(argv[3]) : 19200;
  modbus_t* ctx = modbus_new_rtu(argv[1], baud, 'N', 8, 1);
  if (ctx == NULL || modbus_set_slave(ctx, slave) != 0 || modbus_connect(ctx) != 0) {
    fprintf(stderr, "cannot open %s: %s\n", argv[1], modbus_strerror(errno));
    return 1;
  }
  modbus_mapping_t* map = modbus_mapping_new(100, 100, 100, 100);
  if (map == NULL) return 1;
  for (int i = 0; i < 100; ++i) {
    map->tab_bits[i] = i % 3 == 0;
    map->tab_input_bits[i] = i % 2 == 0;
    map->tab_registers[i] = (uint16_t)(0x000A + i);
    map->tab_input_registers[i] = (uint16_t)(0x1000 + i);
  }
  printf("ready\n");
  fflush(stdout);
  uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
  for (;;) {
    int rc = modbus_receive(ctx, query);
    if (rc > 0) {
      modbus_reply(ctx, query, rc, map);
    } else if (rc < 0 && (errno == EBADF || errno == EIO)) {
      break;
    }
  }
  modbus_mapping_free(map);
  modbus_close(ctx);
  modbus_free(ctx);
  return 0;
}
