"""An independent Modbus master (pymodbus) reading and writing the simulated
slave of the sample Modbus profile. Prints one name=value line per result."""
import struct
import sys

from pymodbus.client import ModbusSerialClient
from pymodbus.framer.rtu_framer import ModbusRtuFramer


def main(port):
    client = ModbusSerialClient(port=port, framer=ModbusRtuFramer, baudrate=19200, bytesize=8, parity="N",
                                stopbits=1, timeout=2)
    if not client.connect():
        print("connect=failed")
        return 1

    def show(name, response, attribute="registers"):
        if response.isError():
            print(f"{name}=exception {getattr(response, 'exception_code', '?')}")
            return
        value = getattr(response, attribute)
        text = " ".join(str(int(v)) for v in value) if isinstance(value, list) else str(int(value))
        print(f"{name}={text}")

    show("units", client.read_holding_registers(0, 2, slave=1))
    show("identification", client.read_input_registers(0x8000, 4, slave=1))
    pressure = client.read_input_registers(0, 2, slave=1)
    if not pressure.isError():
        print("pressure=%.3f" % struct.unpack(">f", struct.pack(">HH", *pressure.registers))[0])
    coils = client.read_coils(0, 4, slave=1)
    if not coils.isError():
        print("coils=" + " ".join(str(int(b)) for b in coils.bits[:4]))
    show("mode_written", client.write_register(8, 1, slave=1), "value")
    show("mode", client.read_holding_registers(8, 1, slave=1))
    show("range_written", client.write_registers(2, [0x4120, 0, 0x4348, 0], slave=1), "count")
    show("range", client.read_holding_registers(2, 4, slave=1))
    show("undefined", client.read_holding_registers(0x200, 1, slave=1))
    show("out_of_limits", client.write_register(8, 5, slave=1), "value")
    show("read_only", client.write_register(0x100, 1, slave=1), "value")
    client.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
