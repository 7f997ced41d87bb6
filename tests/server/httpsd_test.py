"""The local HTTPS server offers the faults that the updater's tests rely on."""

import http.client
import json
import os
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import httpsd  # noqa: E402


class ServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        certs = os.path.join(cls.tmp.name, "certs")
        subprocess.run([os.path.join(HERE, "make-certs.sh"), certs], check=True)
        cls.root = os.path.join(cls.tmp.name, "www")
        cls.log = os.path.join(cls.tmp.name, "requests.log")
        os.makedirs(os.path.join(cls.root, "plain"))
        os.makedirs(os.path.join(cls.root, "marked", "sub"))
        os.makedirs(os.path.join(cls.root, "faulty"))
        cls.big = bytes((i * 7) % 251 for i in range(300_000))
        cls.write("plain/hello.txt", b"bonjour\r\n")
        cls.write("plain/empty.txt", b"")
        cls.write("marked/.httpsd.json", json.dumps({"missing": "200-error"}).encode())
        cls.write("faulty/.httpsd.json", json.dumps({"missing": "404-erreur", "faults": {
            "broken.bin": {"status": 500},
            "dropped.bin": {"drop_after": 1000},
            "slow.bin": {"rate": 40000},
            "unsized.bin": {"no_length": True},
            "generated.bin": {"generate": 100_000},
            "generated-dropped.bin": {"generate": 100_000, "drop_after": 5000},
            "dripped.bin": {"generate": 3000, "drip": [1000, 0.2]},
            "chained.bin": {"generate": 10, "chain": 2},
            "cut-once.bin": {"cut_once": 1000},
            "cut-then-down.bin": {"cut_once": 1000, "status_after_cut": 503},
            "no-range.bin": {"ignore_range": True},
            "off-range.bin": {"range_offset": -1},
            "elsewhere.bin": {"status": 500, "port": 1}}}).encode())
        for name in ("dropped.bin", "unsized.bin", "broken.bin", "cut-once.bin", "cut-then-down.bin", "no-range.bin", "off-range.bin",
                     "elsewhere.bin"):
            cls.write("faulty/" + name, cls.big)
        cls.write("faulty/slow.bin", cls.big[:20000])
        cls.server = httpsd.make_server(cls.root, os.path.join(certs, "server.pem"),
                                        os.path.join(certs, "server.key"), log_path=cls.log)
        cls.port = cls.server.server_address[1]
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.trusting = ssl.create_default_context(cafile=os.path.join(certs, "ca.pem"))
        cls.distrusting = ssl.create_default_context(cafile=os.path.join(certs, "rogue-ca.pem"))

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()
        cls.tmp.cleanup()

    @classmethod
    def write(cls, name, data):
        with open(os.path.join(cls.root, name), "wb") as f:
            f.write(data)

    def get(self, path, context=None, headers=None):
        conn = http.client.HTTPSConnection("localhost", self.port, timeout=10,
                                           context=context or self.trusting)
        conn.request("GET", path, headers=headers or {})
        response = conn.getresponse()
        try:
            return response.status, response.read(), dict(response.getheaders())
        finally:
            conn.close()

    def test_serves_files_whole_and_empty_files_as_empty_pages(self):
        self.assertEqual(self.get("/plain/hello.txt")[:2], (200, b"bonjour\r\n"))
        status, body, headers = self.get("/plain/empty.txt")
        self.assertEqual((status, body, headers["Content-Length"]), (200, b"", "0"))

    def test_missing_pages_follow_the_folder_setting(self):
        status, body, _ = self.get("/plain/none.txt")
        self.assertEqual(status, 404)
        self.assertNotIn(b"ERREUR 404", body.upper())
        self.assertNotIn(b"ERROR 404", body.upper())
        status, body, _ = self.get("/faulty/none.txt")
        self.assertEqual(status, 404)
        self.assertIn(b"Erreur 404", body)
        status, body, _ = self.get("/marked/sub/none.txt")   # inherited from the parent
        self.assertEqual(status, 200)
        self.assertIn(b"ERROR 404", body)

    def test_generated_bodies_follow_the_pattern(self):
        status, body, headers = self.get("/faulty/generated.bin")
        self.assertEqual((status, headers["Content-Length"]), (200, "100000"))
        self.assertEqual(body, bytes((7 * i) % 251 for i in range(100_000)))
        with self.assertRaises(http.client.IncompleteRead) as caught:
            self.get("/faulty/generated-dropped.bin")
        self.assertEqual(caught.exception.partial, body[:5000])

    def test_server_error_status(self):
        self.assertEqual(self.get("/faulty/broken.bin")[0], 500)

    def test_connection_dropped_in_the_middle_of_the_body(self):
        with self.assertRaises(http.client.IncompleteRead) as caught:
            self.get("/faulty/dropped.bin")
        self.assertEqual(len(caught.exception.partial), 1000)

    def test_body_without_length_ends_with_the_connection(self):
        status, body, headers = self.get("/faulty/unsized.bin")
        self.assertEqual(status, 200)
        self.assertNotIn("Content-Length", headers)
        self.assertEqual(body, self.big)

    def test_slow_body_arrives_whole_at_the_given_rate(self):
        started = time.monotonic()
        status, body, _ = self.get("/faulty/slow.bin")
        self.assertEqual((status, body), (200, self.big[:20000]))
        self.assertGreaterEqual(time.monotonic() - started, 0.4)   # 20000 bytes at 40000/s

    def test_dripped_bodies_and_chains_of_redirects(self):
        started = time.monotonic()
        status, body, _ = self.get("/faulty/dripped.bin")
        self.assertEqual((status, body), (200, self.big[:3000]))
        self.assertGreaterEqual(time.monotonic() - started, 0.4)   # two pauses between three drops
        status, _, headers = self.get("/faulty/chained.bin?hop=1")
        self.assertEqual(status, 302)
        self.assertEqual(headers["Location"], f"https://localhost:{self.port}/faulty/chained.bin?hop=2")
        self.assertEqual(self.get("/faulty/chained.bin?hop=2")[:2], (200, self.big[:10]))

    def test_ranges_and_their_faults(self):
        rest = {"Range": "bytes=299000-"}
        status, body, headers = self.get("/faulty/dropped.bin", headers=rest)   # cut after 1000 of the rest
        self.assertEqual((status, body, headers["Content-Range"]), (206, self.big[299000:], "bytes 299000-299999/300000"))
        self.assertEqual(self.get("/faulty/dropped.bin", headers={"Range": "bytes=300000-"})[0], 416)
        with self.assertRaises(http.client.IncompleteRead):
            self.get("/faulty/cut-once.bin")
        self.assertEqual(self.get("/faulty/cut-once.bin")[:2], (200, self.big))   # cut once only
        with self.assertRaises(http.client.IncompleteRead):
            self.get("/faulty/cut-then-down.bin")
        self.assertEqual(self.get("/faulty/cut-then-down.bin")[0], 503)
        self.assertEqual(self.get("/faulty/no-range.bin", headers=rest)[:2], (200, self.big))
        status, body, headers = self.get("/faulty/off-range.bin", headers=rest)
        self.assertEqual((status, body, headers["Content-Range"]), (206, self.big[298999:], "bytes 298999-299999/300000"))
        self.assertEqual(self.get("/faulty/elsewhere.bin", headers=rest)[0], 206)   # that fault is another port's

    def test_requests_outside_the_folder_are_refused(self):
        self.assertEqual(self.get("/plain/../../certs/ca.key")[0], 403)
        self.assertEqual(self.get("/%2e%2e/certs/ca.key")[0], 403)

    def test_untrusted_clients_cannot_connect(self):
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.get("/plain/hello.txt", context=self.distrusting)

    def test_requests_are_logged_with_their_headers(self):
        self.get("/plain/hello.txt?logged", headers={"User-Agent": "OPEN_INTERNET"})
        with open(self.log, encoding="utf-8") as f:
            entries = [json.loads(line) for line in f]
        entry = [e for e in entries if e.get("path") == "/plain/hello.txt?logged"][-1]
        self.assertEqual(entry["headers"]["User-Agent"], "OPEN_INTERNET")


if __name__ == "__main__":
    unittest.main()
