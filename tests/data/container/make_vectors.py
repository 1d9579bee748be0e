#!/usr/bin/env python3
"""Writes vectors.txt: containers built with standard tools only, never with Kaleon's code.

Keys come from Python's hashlib.pbkdf2_hmac, HMACs from Python's hmac, AES-CBC from the
`openssl enc` command, and the OpenSSL salted format from `openssl enc -md md5` itself.
Run it again to regenerate: python3 make_vectors.py > vectors.txt
"""
import hashlib
import hmac
import subprocess


def aes_cbc(key, iv, plaintext):
    cipher = {16: "-aes-128-cbc", 24: "-aes-192-cbc", 32: "-aes-256-cbc"}[len(key)]
    return subprocess.run(["openssl", "enc", cipher, "-K", key.hex(), "-iv", iv.hex(), "-nosalt"],
                          input=plaintext, capture_output=True, check=True).stdout


def pattern(length, seed):
    return bytes((seed + 7 * i + (i >> 3)) & 0xFF for i in range(length))


def v2_password_bytes(password):
    utf8 = password.encode("utf-8")
    utf16_units = len(password.encode("utf-16-le")) // 2
    return utf8[:utf16_units]


def block(fields):
    for name, value in fields:
        print(f"{name} = {value.hex()}")
    print()


print("# Containers made with hashlib, hmac and `openssl enc` by make_vectors.py; do not edit.")
print()

# Password-based containers of versions 3 and 2, default settings.
cases = [
    (3, "password", 0), (3, "password", 1), (3, "password", 15), (3, "password", 16),
    (3, "password", 17), (3, "correct horse battery staple", 100),
    (2, "password", 33), (2, "pässwörd €", 40), (3, "pässwörd €", 40),
]
for n, (version, password, length) in enumerate(cases):
    encryption_salt = pattern(8, 11 + n)
    hmac_salt = pattern(8, 23 + n)
    iv = pattern(16, 37 + n)
    plaintext = pattern(length, 51 + n)
    secret = v2_password_bytes(password) if version == 2 else password.encode("utf-8")
    encryption_key = hashlib.pbkdf2_hmac("sha1", secret, encryption_salt, 10000, 32)
    hmac_key = hashlib.pbkdf2_hmac("sha1", secret, hmac_salt, 10000, 32)
    header = bytes([version, 1]) + encryption_salt + hmac_salt + iv
    body = header + aes_cbc(encryption_key, iv, plaintext)
    container = body + hmac.new(hmac_key, body, hashlib.sha256).digest()
    print(f"# password container, version {version}, {length} bytes")
    block([("version", bytes([version])), ("password", password.encode("utf-8")),
           ("encryption_salt", encryption_salt), ("hmac_salt", hmac_salt), ("iv", iv),
           ("plaintext", plaintext), ("container", container)])

# Key-based containers: with and without an HMAC key, and a 16-byte cipher key.
for n, (key_length, with_hmac, length) in enumerate([(32, True, 20), (32, False, 20), (16, True, 5)]):
    encryption_key = pattern(key_length, 61 + n)
    hmac_key = pattern(32, 71 + n)
    iv = pattern(16, 81 + n)
    plaintext = pattern(length, 91 + n)
    header = bytes([3, 0]) + iv
    body = header + aes_cbc(encryption_key, iv, plaintext)
    container = body + (hmac.new(hmac_key, body, hashlib.sha256).digest() if with_hmac else b"")
    print(f"# key container, {key_length}-byte key, {'with' if with_hmac else 'without'} HMAC")
    fields = [("encryption_key", encryption_key)]
    if with_hmac:
        fields.append(("hmac_key", hmac_key))
    fields += [("iv", iv), ("plaintext", plaintext), ("container", container)]
    block(fields)

# The OpenSSL salted format. With -S, OpenSSL 3.0 writes no marker or salt: put them in front.
for n, (cipher, key_size, password, length) in enumerate(
        [("-aes-256-cbc", 32, "secret", 0), ("-aes-256-cbc", 32, "secret", 37), ("-aes-128-cbc", 16, "other", 16)]):
    salt = pattern(8, 101 + n)
    plaintext = pattern(length, 111 + n)
    ciphertext = subprocess.run(["openssl", "enc", cipher, "-md", "md5", "-pass", "pass:" + password,
                                 "-S", salt.hex()], input=plaintext, capture_output=True, check=True).stdout
    container = b"Salted__" + salt + ciphertext
    print(f"# OpenSSL salted, {cipher}")
    block([("key_size", bytes([key_size])), ("password", password.encode("utf-8")), ("salt", salt),
           ("plaintext", plaintext), ("container", container)])
