#!/usr/bin/env python3
"""Independent pure-Python SM2 key exchange, used once to derive the
known-answer vector in Sm2ExchangeTest.cpp. Run: python3 sm2_exchange_vector.py"""
import hashlib

p = 0xFFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00000000FFFFFFFFFFFFFFFF
a = p - 3
b = 0x28E9FA9E9D9F5E344D5A9E4BCF6509A7F39789F515AB8F92DDBCBD414D940E93
n = 0xFFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFF7203DF6B21C6052B53BBF40939D54123
G = (0x32C4AE2C1F1981195F9904466A39C9948FE30BBFF2660BE1715A4589334C74C7,
     0xBC3736A2F4F6779C59BDCEE36B692153D0A9877CC62A474002DF32E52139F0A0)


def add(P, Q):
    if P is None:
        return Q
    if Q is None:
        return P
    if P[0] == Q[0] and (P[1] + Q[1]) % p == 0:
        return None
    if P == Q:
        lam = (3 * P[0] * P[0] + a) * pow(2 * P[1], -1, p) % p
    else:
        lam = (Q[1] - P[1]) * pow(Q[0] - P[0], -1, p) % p
    x = (lam * lam - P[0] - Q[0]) % p
    return (x, (lam * (P[0] - x) - P[1]) % p)


def mul(k, P):
    R = None
    while k:
        if k & 1:
            R = add(R, P)
        P = add(P, P)
        k >>= 1
    return R


def sm3(data):
    return hashlib.new("sm3", data).digest()


def b32(v):
    return v.to_bytes(32, "big")


def Z(ident, P):
    entl = (len(ident) * 8).to_bytes(2, "big")
    return sm3(entl + ident + b32(a) + b32(b) + b32(G[0]) + b32(G[1]) + b32(P[0]) + b32(P[1]))


def kdf(z, klen):
    out, ct = b"", 1
    while len(out) < klen:
        out += sm3(z + ct.to_bytes(4, "big"))
        ct += 1
    return out[:klen]


w = 127


def xbar(x):
    return 2**w + (x & (2**w - 1))


def agree(d, r, R, Ppeer, Rpeer, za, zb, klen):
    t = (d + xbar(R[0]) * r) % n
    V = mul(t, add(Ppeer, mul(xbar(Rpeer[0]), Rpeer)))
    return kdf(b32(V[0]) + b32(V[1]) + za + zb, klen)


dA = 0x6FCBA2EF9AE0AB902BC3BDE3FF915D44BA4CC78F88E2F8E7F8996D3B8CCEEDEE
rA = 0x83A2C9C8B96E5AF70BD480B472409A9A327257F1EBB73F5B073354B248668563
dB = 0x5E35D7D3F3C54DBAC72E61819E730B019A84208CA3A35E4C2E353DFCCB2A3B53
rB = 0x33FE21940342161C55619C4A0C060293D543C80AF19748CE176D83477DE71C80
IDA, IDB = b"alice@example.com", b"bob@example.com"
PA, RA, PB, RB = mul(dA, G), mul(rA, G), mul(dB, G), mul(rB, G)
ZA, ZB = Z(IDA, PA), Z(IDB, PB)
for klen in (16, 48):
    kA = agree(dA, rA, RA, PB, RB, ZA, ZB, klen)
    kB = agree(dB, rB, RB, PA, RA, ZA, ZB, klen)
    assert kA == kB
    print(klen, kA.hex().upper())
# Default ID for both.
d = b"1234567812345678"
print("default", agree(dA, rA, RA, PB, RB, Z(d, PA), Z(d, PB), 16).hex().upper())
