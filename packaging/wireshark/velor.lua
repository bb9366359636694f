-- Wireshark dissector for the module protocol of the TARNIX Line 2 bus, as Velor's traffic
-- monitor saves it: link type 250 (RTAC serial), one frame per record, the serial header's event
-- type telling sent (1) from received (2) data.
--
--   tshark -X lua_script:velor.lua -r provoz.pcap -V
--
-- Frames: acknowledgement E5; short frame 10 U1 U2 U3 CS 16; variable frame 68 L L 68 U1..UL CS 16
-- (CS = sum of the user data modulo 256). Requests: address, 40, service 6C (data), 69 (probe) or
-- 63 (ZEPA configuration), request code 0B read / 0C write / 0D read and write, item descriptors
-- (area, start address low byte first, byte count), the data of a write after its descriptor.
-- Answers: short frames carry a function code (0 positive; 2, 9, 12 negative), variable frames the
-- three echoed bytes and then the answer data.

local velor = Proto("velor", "Velor - protokol modulů TARNIX Line 2")

local services = { [0x6C] = "data", [0x69] = "dotaz na přítomnost", [0x63] = "konfigurace ZEPA" }
local codes = { [0x0B] = "čtení", [0x0C] = "zápis", [0x0D] = "čtení a zápis" }
local functionCodes = {
    [0] = "kladná odpověď",
    [2] = "FC=2 Neznámá komunikační šlužba",
    [9] = "FC=9 Blok/Data nedostupná",
    [12] = "FC=0x0c nespravne zadane parametry",
}

local f = velor.fields
f.start = ProtoField.uint8("velor.start", "Počáteční bajt", base.HEX)
f.length = ProtoField.uint8("velor.length", "Délka", base.DEC)
f.lengthrepeat = ProtoField.uint8("velor.length.repeat", "Délka (opakovaná)", base.DEC)
f.address = ProtoField.uint8("velor.address", "Adresa modulu", base.DEC)
f.control = ProtoField.uint8("velor.control", "Řídicí bajt", base.HEX)
f.service = ProtoField.uint8("velor.service", "Služba", base.HEX, services)
f.code = ProtoField.uint8("velor.code", "Požadavek", base.HEX, codes)
f.item = ProtoField.bytes("velor.item", "Položka")
f.area = ProtoField.uint8("velor.area", "Oblast", base.DEC)
f.itemstart = ProtoField.uint16("velor.item.start", "Počáteční adresa", base.HEX)
f.count = ProtoField.uint8("velor.item.count", "Počet bajtů", base.DEC)
f.data = ProtoField.bytes("velor.data", "Data")
f.fc = ProtoField.uint8("velor.fc", "Funkční kód", base.DEC, functionCodes)
f.answer = ProtoField.bytes("velor.answer", "Data odpovědi")
f.checksum = ProtoField.uint8("velor.checksum", "Kontrolní součet", base.HEX)
f.checksumok = ProtoField.bool("velor.checksum.ok", "Kontrolní součet v pořádku")
f.checksumexpected = ProtoField.uint8("velor.checksum.expected", "Očekávaný kontrolní součet",
    base.HEX)
f.junk = ProtoField.bytes("velor.junk", "Bajty mimo rámec")
f.stop = ProtoField.uint8("velor.end", "Koncový bajt", base.HEX)
f.ack = ProtoField.uint8("velor.ack", "Potvrzení", base.HEX)

local eventType = Field.new("rtacser.eventtype")

local function sumOf(range)
    local s = 0
    for i = 0, range:len() - 1 do s = s + range(i, 1):uint() end
    return s % 256
end

-- Adds the check byte and the end byte; returns nil when the check byte is right, otherwise the
-- text the traffic window shows for it (expected and received byte).
local function addChecksum(tree, user, cs, stop)
    local item = tree:add(f.checksum, cs)
    local expected = sumOf(user)
    local ok = expected == cs:uint()
    item:add(f.checksumok, cs, ok)
    tree:add(f.stop, stop)
    if ok then return nil end
    item:add(f.checksumexpected, cs, expected):set_generated()
    local text = string.format("chybný kontrolní součet: očekáván %02X, přišel %02X", expected,
        cs:uint())
    item:add_expert_info(PI_CHECKSUM, PI_ERROR, text)
    return text
end

local function appendInfo(pinfo, text)
    if text then pinfo.cols.info = tostring(pinfo.cols.info) .. " [" .. text .. "]" end
end

-- The item descriptors of a request from position 4 of the user data on.
local function addItems(tree, user, code)
    local texts = {}
    local pos, index = 4, 0
    while pos + 4 <= user:len() do
        local write = code == 0x0C or (code == 0x0D and index > 0)
        local count = user(pos + 3, 1):uint()
        local dataLength = write and math.min(count, user:len() - pos - 4) or 0
        local item = tree:add(f.item, user(pos, 4 + dataLength))
        item:set_text((write and "zápis " or "čtení ") ..
            string.format("%02X:%04X %d B", user(pos, 1):uint(), user(pos + 1, 2):le_uint(), count))
        item:add(f.area, user(pos, 1))
        item:add_le(f.itemstart, user(pos + 1, 2))
        item:add(f.count, user(pos + 3, 1))
        if dataLength > 0 then item:add(f.data, user(pos + 4, dataLength)) end
        texts[#texts + 1] = (write and "zápis " or "čtení ") .. count .. " B"
        pos = pos + 4 + dataLength
        index = index + 1
    end
    return table.concat(texts, ", ")
end

local function dissectUser(tree, pinfo, user, sent)
    tree:add(f.address, user(0, 1))
    if user:len() < 3 then return end
    tree:add(f.control, user(1, 1))
    tree:add(f.service, user(2, 1))
    local address = user(0, 1):uint()
    if not sent then
        if user:len() > 3 then tree:add(f.answer, user(3)) end
        pinfo.cols.info = string.format("odpověď modulu %d, %d B dat", address, user:len() - 3)
        return
    end
    if user(2, 1):uint() == 0x69 then
        pinfo.cols.info = string.format("dotaz na adresu %d", address)
        return
    end
    if user:len() < 4 then return end
    local code = user(3, 1):uint()
    tree:add(f.code, user(3, 1))
    local items = addItems(tree, user, code)
    -- Each item names its own direction; the request code is said only when there is none.
    if items == "" then items = (codes[code] or string.format("požadavek 0x%02X", code)) .. " bez položek" end
    pinfo.cols.info = string.format("modul %d: %s", address, items)
end

function velor.dissector(tvb, pinfo, tree)
    local length = tvb:len()
    if length == 0 then return 0 end
    pinfo.cols.protocol = "Velor"
    local event = eventType()
    local sent = event ~= nil and event.value == 1
    local start = tvb(0, 1):uint()
    if start ~= 0xE5 and start ~= 0x10 and start ~= 0x68 then
        local junk = tree:add(velor, tvb(), "Velor, bajty mimo rámec")
        junk:add(f.junk, tvb())
        pinfo.cols.info = string.format("%d B mimo rámec", length)
        return length
    end
    local root = tree:add(velor, tvb(), sent and "Velor, požadavek" or "Velor, odpověď")
    if start == 0xE5 then
        root:add(f.ack, tvb(0, 1))
        pinfo.cols.info = "potvrzení E5"
        return length
    end
    if start == 0x10 and length >= 6 then
        root:add(f.start, tvb(0, 1))
        if sent then
            dissectUser(root, pinfo, tvb(1, 3), true)
        else
            root:add(f.fc, tvb(3, 1))
            pinfo.cols.info = "krátká odpověď: " .. (functionCodes[tvb(3, 1):uint()] or
                string.format("neznámé FC=0x%02X", tvb(3, 1):uint()))
        end
        appendInfo(pinfo, addChecksum(root, tvb(1, 3), tvb(4, 1), tvb(5, 1)))
        return length
    end
    if start == 0x68 and length >= 6 then
        local l = tvb(1, 1):uint()
        root:add(f.start, tvb(0, 1))
        root:add(f.length, tvb(1, 1))
        root:add(f.lengthrepeat, tvb(2, 1))
        if tvb(2, 1):uint() ~= l or tvb(3, 1):uint() ~= 0x68 or length < l + 6 then
            pinfo.cols.info = "vadná hlavička rámce"
            return length
        end
        local user = tvb(4, l)
        dissectUser(root, pinfo, user, sent)
        appendInfo(pinfo, addChecksum(root, user, tvb(4 + l, 1), tvb(5 + l, 1)))
        return length
    end
    root:add(f.junk, tvb())
    pinfo.cols.info = string.format("neúplný rámec (%d B)", length)
    return length
end

-- The capture's records: the serial header by Wireshark's own dissector, the payload by ours.
local serial = Proto("velor_serial", "Velor - zachycená linka")
local rtacser = Dissector.get("rtacser")
local rtacHeaderBytes = 12

function serial.dissector(tvb, pinfo, tree)
    if tvb:len() < rtacHeaderBytes then return 0 end
    rtacser:call(tvb(0, rtacHeaderBytes):tvb(), pinfo, tree)
    if tvb:len() > rtacHeaderBytes then velor.dissector(tvb(rtacHeaderBytes):tvb(), pinfo, tree) end
    return tvb:len()
end

DissectorTable.get("wtap_encap"):add(wtap_encaps.RTAC_SERIAL, serial)
-- Also offered under Decode As for the serial payload.
DissectorTable.get("rtacser.data"):add_for_decode_as(velor)
