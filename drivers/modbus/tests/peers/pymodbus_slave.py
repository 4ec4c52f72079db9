"""A Modbus RTU slave on pymodbus for tests: pymodbus_slave.py DEVICE.

Holds the same values as the libmodbus test slave: 100 coils (every third
set), 100 discrete inputs (every second set), holding registers 0x000A + n
and input registers 0x1000 + n, at addresses from 0. Prints "ready" once the
device is open and configured; serves until it is killed.
"""
import asyncio
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer


async def serve(device):
    store = ModbusSlaveContext(
        co=ModbusSequentialDataBlock(0, [n % 3 == 0 for n in range(100)]),
        di=ModbusSequentialDataBlock(0, [n % 2 == 0 for n in range(100)]),
        hr=ModbusSequentialDataBlock(0, [0x000A + n for n in range(100)]),
        ir=ModbusSequentialDataBlock(0, [0x1000 + n for n in range(100)]),
        zero_mode=True,
    )
    server = await StartAsyncSerialServer(
        context=ModbusServerContext(slaves=store, single=True),
        framer=ModbusRtuFramer,
        port=device,
        baudrate=19200,
        bytesize=8,
        parity="N",
        stopbits=1,
        timeout=0.005,
        defer_start=True,
    )
    await server.start()
    if server.transport is None:
        print("cannot open " + device, file=sys.stderr)
        sys.exit(1)
    print("ready", flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(serve(sys.argv[1]))
