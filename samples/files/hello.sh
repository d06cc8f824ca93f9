#!/bin/sh
echo "hello from a script"
