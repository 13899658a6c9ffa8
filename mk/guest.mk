# The CLI through the kernel's own serial drivers (8250, ftdi_sio) in a small
# virtual machine against simulated devices on the host (tests/guest/).
#   make guest-test                  part of make test, where QEMU must start a guest
#   make guest-test GUEST_REQUIRE=0  passes, with one line, where no guest can start
# More run sets, each through both drivers with options added to every run:
#   GUEST_ARGS += --runs 'LABEL|ADAPTER_LATENCY_MS|CLI OPTIONS'
GUEST_REQUIRE ?= 1
GUEST_ARGS ?=
# Fast exchange through both drivers, the adapter's latency timer as it comes and at its lowest.
GUEST_ARGS += --runs 'fast-16ms|16|--fast' --runs 'fast-1ms|1|--fast'

.PHONY: guest-test

guest-test: build
	tests/guest/guest-test.sh $(BUILD)/bin $(if $(filter 1,$(GUEST_REQUIRE)),--require) $(GUEST_ARGS)

EXTRA_TESTS += guest-test
