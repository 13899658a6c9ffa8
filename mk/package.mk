# The Debian package.
#   make package        build build/package/trackwarden_<version>_<arch>.deb (CPack)
#   make package-test   build it and try it as installed (part of make test)
.PHONY: package package-test

package: build
	cd $(BUILD) && cpack -G DEB --config CPackConfig.cmake >/dev/null
	@ls $(BUILD)/package/*.deb

package-test: package
	packaging/test/package-test.sh $(BUILD)

EXTRA_TESTS += package-test
